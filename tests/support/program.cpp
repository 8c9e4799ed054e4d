#include "tests/support/program.h"

#include "app/shell.h"

#include <cstdlib>

namespace op {

void MapPort(int port, const std::string& device) {
    setenv(("EVOK_COM" + std::to_string(port)).c_str(), device.c_str(), 1);
}

Program::Program(const std::string& device) {
    MapPort(1, device);
    result_ = evok::StartUp();
}

Program::~Program() {
    if (result_ == 0) evok::ShutDown();
}

void ProgramWithSim::SetUp() {
    sim::Simulator::Options options;
    options.line.pacing = Paced();
    sim_ = std::make_unique<sim::Simulator>(options);
    program_ = std::make_unique<Program>(sim_->devicePath());
    ASSERT_EQ(program_->startResult(), 0);
}

void ProgramWithSim::TearDown() {
    program_.reset();
    sim_.reset();
}

std::vector<std::uint16_t> ProgramWithSim::Orders() const {
    std::vector<std::uint16_t> orders;
    for (const sim::RequestRecord& request : sim_->model().requests()) {
        orders.push_back(request.order);
    }
    return orders;
}

void ProgramWithSim::ClearRequests() {
    sim_->model().clearRequests();
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

} // namespace op

namespace op {

void AnswerStartUp(sim::ScriptedPeer& peer, const std::vector<std::uint16_t>& page0,
                   const sim::Bytes& firmwareReply) {
    std::vector<std::uint16_t> page0Words = {0};
    page0Words.insert(page0Words.end(), page0.begin(), page0.end());
    peer.expect(36, 5).reply(Frame(5, {0x00AA}));
    peer.expect(36, 5).reply(Frame(2, page0Words));
    peer.expect(36, 5).reply(Frame(2, {1}));
    peer.expect(36, 5).reply(firmwareReply);
}

} // namespace op
