// A controller line that can be unplugged and plugged in again under the same device name, as a
// USB adapter that comes back: a symbolic link names the current simulator's pseudo-terminal.
#pragma once

#include "sim/simulator.h"

#include <memory>
#include <string>

namespace op {

class PluggableLine {
public:
    // Starts a simulator and names it `link` (a path that must not exist yet, or an old link).
    PluggableLine(std::string link, bool paced);
    ~PluggableLine();
    PluggableLine(const PluggableLine&) = delete;
    PluggableLine& operator=(const PluggableLine&) = delete;

    // The path the program opens.
    const std::string& device() const { return link_; }
    sim::Simulator& sim() { return *sim_; }
    bool plugged() const { return plugged_; }

    // The cable is pulled: the line hangs up and the device name disappears.
    void unplug();
    // A new controller (fresh simulator) appears under the same name.
    void plugIn();

private:
    std::string link_;
    bool paced_;
    bool plugged_ = false;
    std::unique_ptr<sim::Simulator> sim_;
};

} // namespace op
