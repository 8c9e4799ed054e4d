// The operator program started inside the test process on a simulated controller or a scripted
// peer, and shut down at the end of the test.
#pragma once

#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace op {

// Port n of the program is `device` (EVOK_COM<n>).
void MapPort(int port, const std::string& device);

// Runs the program's start-up on port 1 = device; shuts it down when destroyed.
class Program {
public:
    explicit Program(const std::string& device);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    int startResult() const { return result_; }

private:
    int result_ = -1;
};

// A test with the simulator (unpaced unless Paced()) and the program started on it.
class ProgramWithSim : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual bool Paced() const { return false; }

    // The order codes of the requests the controller received since the last ClearRequests.
    std::vector<std::uint16_t> Orders() const;
    void ClearRequests();

    std::unique_ptr<sim::Simulator> sim_;
    std::unique_ptr<Program> program_;
};

// A 36-byte reply frame.
sim::Bytes Frame(std::uint16_t order, std::vector<std::uint16_t> words);
// Data word i of a 36-byte request.
std::uint16_t Word(const sim::Bytes& frame, int i);
std::uint16_t OrderOf(const sim::Bytes& frame);

} // namespace op

namespace op {

// Adds the replies to the program's start-up to a scripted peer's script: the echo, both
// parameter pages (page 0 carrying `page0`, 15 values) and the 64-byte firmware reply.
void AnswerStartUp(sim::ScriptedPeer& peer, const std::vector<std::uint16_t>& page0,
                   const sim::Bytes& firmwareReply);

} // namespace op
