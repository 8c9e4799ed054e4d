#include "tests/harness/program.h"

#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "link/com232.h"
#include "runtime/panel.h"

#include <cstdlib>

namespace op {

void UseOffscreenPlatform() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (!chosen || !*chosen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void MapPort(int port, const std::string& device) {
    setenv(("EVOK_COM" + std::to_string(port)).c_str(), device.c_str(), 1);
}

std::string StartProgram() {
    UseOffscreenPlatform();
    const int result = evok::StartUp();
    if (result != 0) return "the start-up returned " + std::to_string(result);
    if (evok::szVersion[0] != '\0') return "";
    char status[512] = "";
    GetCtrlVal(evok::panelHandle, evok::PANEL_STATUS, status, sizeof status);
    return std::string("no controller on port 1: status \"") + status + "\"";
}

Program::Program(const std::string& device) {
    MapPort(1, device);
    result_ = evok::StartUp();
}

Program::~Program() {
    if (result_ == 0) evok::ShutDown();
}

sim::Bytes Frame(std::uint16_t order, std::vector<std::uint16_t> words) {
    sim::FrameWords all{};
    for (std::size_t i = 0; i < words.size() && i < all.size(); ++i)
        all[i] = words[i];
    return sim::encodeFrame(order, all);
}

std::uint16_t Word(const sim::Bytes& frame, int i) {
    return static_cast<std::uint16_t>(frame.at(4 + 2 * i) * 256 + frame.at(5 + 2 * i));
}

std::uint16_t OrderOf(const sim::Bytes& frame) {
    return static_cast<std::uint16_t>(frame.at(2) * 256 + frame.at(3));
}

void AnswerStartUp(sim::ScriptedPeer& peer, const std::vector<std::uint16_t>& page0,
                   const sim::Bytes& firmwareReply) {
    std::vector<std::uint16_t> page0Words = {0};
    page0Words.insert(page0Words.end(), page0.begin(), page0.end());
    peer.expect(sim::kFrameBytes, 5).reply(Frame(sim::kOrderEcho, {sim::kAckWord}));
    peer.expect(sim::kFrameBytes, 5).reply(Frame(sim::kOrderReadRam, page0Words));
    peer.expect(sim::kFrameBytes, 5).reply(Frame(sim::kOrderReadRam, {1}));
    peer.expect(sim::kFrameBytes, 5).reply(firmwareReply);
}

} // namespace op
