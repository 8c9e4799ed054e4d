#include "sim/line_model.h"

#include <cstdio>

namespace sim {

namespace {

std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g ms", ms);
    return text;
}

} // namespace

std::string LineModel::name() const {
    switch (kind) {
    case LineKind::Pty:
        return "pty";
    case LineKind::Uart:
        return "uart";
    case LineKind::LatencyTimer:
        return "latency " + milliseconds(timerMs);
    case LineKind::SmallPacket:
        return "packet " + milliseconds(packetMs);
    }
    return "?";
}

bool ParseLineModel(const std::string& text, LineModel* model, std::string* error) {
    LineModel m;
    if (text == "pty") {
        m.kind = LineKind::Pty;
    } else if (text == "uart") {
        m.kind = LineKind::Uart;
    } else if (text == "packet") {
        m.kind = LineKind::SmallPacket;
    } else if (text == "latency" || text.rfind("latency:", 0) == 0) {
        m.kind = LineKind::LatencyTimer;
        if (text != "latency") {
            // The adapter's timer is set in whole milliseconds.
            const std::string ms = text.substr(8);
            unsigned value = 0;
            for (const char c : ms)
                value = (c >= '0' && c <= '9' && value <= 255) ? value * 10 + (c - '0') : 256;
            if (value < 1 || value > 255) {
                if (error) *error = "the latency timer is 1 to 255 ms, not '" + ms + "'";
                return false;
            }
            m.timerMs = value;
        }
    } else {
        if (error) *error = "unknown line model '" + text + "' (pty, uart, latency[:MS], packet)";
        return false;
    }
    *model = m;
    return true;
}

std::vector<LineModel> LineModelsUnderTest() {
    LineModel uart{.kind = LineKind::Uart};
    LineModel latency16{.kind = LineKind::LatencyTimer, .timerMs = 16};
    LineModel latency32{.kind = LineKind::LatencyTimer, .timerMs = 32};
    LineModel packet{.kind = LineKind::SmallPacket, .packetMs = 1};
    return {LineModel{}, uart, latency16, latency32, packet};
}

} // namespace sim
