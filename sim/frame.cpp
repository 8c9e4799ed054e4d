#include "sim/frame.h"

#include <cstdio>
#include <stdexcept>

namespace sim {

Bytes encodeFrame(const Frame& frame) {
    Bytes out;
    out.reserve(kFrameBytes);
    auto put = [&out](std::uint16_t w) {
        out.push_back(static_cast<std::uint8_t>(w >> 8));
        out.push_back(static_cast<std::uint8_t>(w & 0xFF));
    };
    put(frame.sync);
    put(frame.order);
    for (std::uint16_t w : frame.words)
        put(w);
    return out;
}

Bytes encodeFrame(std::uint16_t order, const FrameWords& words) {
    return encodeFrame(Frame{kSyncWord, order, words});
}

Frame decodeFrame(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFrameBytes) throw std::invalid_argument("decodeFrame: short frame");
    auto word = [&bytes](std::size_t at) {
        return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
    };
    Frame f;
    f.sync = word(0);
    f.order = word(2);
    for (std::size_t i = 0; i < kFrameWords; ++i)
        f.words[i] = word(4 + 2 * i);
    return f;
}

Bytes encodeWords(std::span<const std::uint16_t> words) {
    Bytes out;
    out.reserve(2 * words.size());
    for (std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w >> 8));
        out.push_back(static_cast<std::uint8_t>(w & 0xFF));
    }
    return out;
}

Bytes encodeFirmwareText(std::string_view text) {
    std::array<std::uint16_t, kFirmwareWords> words{};
    for (std::size_t i = 0; i < text.size() && i < kFirmwareWords; ++i)
        words[i] = static_cast<std::uint8_t>(text[i]);
    return encodeWords(words);
}

std::string hexString(std::span<const std::uint8_t> bytes, std::size_t maxBytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size() && i < maxBytes; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) out.push_back(' ');
        out += buf;
    }
    if (bytes.size() > maxBytes) out += " ...";
    return out;
}

} // namespace sim
