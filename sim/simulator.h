// The whole simulated controller in one object: a ControllerModel served by a LineEndpoint on a
// new pseudo-terminal, running from construction until stop() or destruction.
#pragma once

#include "sim/controller_model.h"
#include "sim/line_endpoint.h"

#include <memory>
#include <string>

namespace sim {

class Simulator {
public:
    struct Options {
        ControllerModel::Options model;
        LineOptions line;
    };

    Simulator();
    // Throws std::runtime_error when no pseudo-terminal can be created.
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The device the program opens (the pty's slave path).
    const std::string& devicePath() const { return line_->devicePath(); }
    ControllerModel& model() { return *model_; }
    LineEndpoint& line() { return *line_; }

    // Ends the line thread and closes the line. Idempotent.
    void stop();

private:
    std::unique_ptr<ControllerModel> model_;
    std::unique_ptr<LineEndpoint> line_;
};

} // namespace sim
