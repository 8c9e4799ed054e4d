// The one harness that starts the operator program inside the calling process on a line and
// answers its start-up, for tests, benchmarks and fuzz targets alike: on the simulator, on a
// scripted peer, or on a line that can be unplugged.
#pragma once

#include "sim/controller_model.h"
#include "sim/pty.h"
#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace op {

// Chooses Qt's offscreen platform unless one is chosen already. Before the application object.
void UseOffscreenPlatform();

// Port n of the program is `device` (EVOK_COM<n>).
void MapPort(int port, const std::string& device);

// The program's start-up on port 1 as EVOK_COM1 maps it. "" when it started and proved the line
// (read the controller's firmware text); otherwise why not. The caller shuts it down.
std::string StartProgram();

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

// A 36-byte reply frame (missing words 0).
sim::Bytes Frame(std::uint16_t order, std::vector<std::uint16_t> words);
// Data word i of a 36-byte request, and its order code.
std::uint16_t Word(const sim::Bytes& frame, int i);
std::uint16_t OrderOf(const sim::Bytes& frame);

// Adds the replies to the program's start-up to a scripted peer's script: the echo, both
// parameter pages (page 0 carrying `page0`) and the 64-byte firmware reply.
void AnswerStartUp(sim::ScriptedPeer& peer, const std::vector<std::uint16_t>& page0,
                   const sim::Bytes& firmwareReply);

// A controller line that can be unplugged and plugged in again under the same device name, as a
// USB adapter that comes back: a symbolic link names the current simulator's pseudo-terminal.
class PluggableLine {
public:
    // Starts a (paced) simulator on `model` and names it `link` (a path that must not exist yet).
    PluggableLine(std::string link, bool paced, sim::LineModel model = {});
    ~PluggableLine();
    PluggableLine(const PluggableLine&) = delete;
    PluggableLine& operator=(const PluggableLine&) = delete;

    const std::string& device() const { return link_; }
    sim::Simulator& sim() { return *sim_; }
    bool plugged() const { return plugged_; }
    // The cable is pulled: the line hangs up and the device name disappears.
    void unplug();
    // A new controller (fresh simulator) appears under the same name, on `model` from now on.
    void plugIn();
    void plugIn(const sim::LineModel& model);
    const sim::LineModel& model() const { return model_; }

private:
    std::string link_;
    bool paced_;
    sim::LineModel model_;
    bool plugged_ = false;
    std::unique_ptr<sim::Simulator> sim_;
};

} // namespace op
