// A pseudo-terminal with nothing behind it once the program has started, for the benchmark that
// writes frames straight at the program and for the fuzz targets that feed it bytes.
#pragma once

#include "sim/controller_model.h"
#include "sim/pty.h"

#include <string>

namespace bench {

// The start-up is answered from a controller model, then the controller's end is the caller's
// (non-blocking).
class BareLine {
public:
    BareLine();
    const std::string& device() const { return pty_.slavePath(); }
    int fd() const { return pty_.masterFd(); }
    sim::ControllerModel& model() { return model_; }
    // StartProgram() on port 1 = this line, its start-up answered.
    std::string StartProgram();
    // Writes all the bytes (false when the line fails), or reads and drops what the program wrote.
    bool Write(const sim::Bytes& bytes);
    void Drain();

private:
    sim::Pty pty_;
    sim::ControllerModel model_;
};

} // namespace bench
