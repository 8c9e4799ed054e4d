// A pseudo-terminal pair for the simulator and for tests: this side keeps the master, a program
// opens the slave path as its serial device.
#pragma once

#include <string>

namespace sim {

class Pty {
public:
    // Opens a new pair, both sides in raw mode (no echo, no line editing). The pair keeps a
    // descriptor of its own on the slave side, so that the master never sees a hang-up when the
    // program closes or reopens the device. Throws std::runtime_error on failure.
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Closes both of this side's descriptors: the program's reads then end (EIO), as when a
    // cable is pulled. Idempotent.
    void hangUp();
    bool isOpen() const { return master_ >= 0; }

private:
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slavePath_;
};

} // namespace sim
