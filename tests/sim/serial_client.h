// The test's end of a simulated line, used as the operator program uses a serial device: open
// the device path raw, write requests, read replies with time limits. Plus starting the
// simulator program as a child process.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"

#include <optional>
#include <string>
#include <vector>

namespace simtest {

using sim::Bytes;
using sim::Clock;

struct Received {
    Bytes bytes;
    std::vector<Clock::time_point> chunkTimes; // arrival time of each read
    std::vector<std::size_t> chunkSizes;
    bool hungUp = false; // a read ended with EIO or end of file
    Clock::time_point last() const {
        return chunkTimes.empty() ? Clock::time_point{} : chunkTimes.back();
    }
};

class SerialClient {
public:
    // Opens `path` raw at 19200 8N1 (or adopts an open descriptor). Throws std::runtime_error.
    explicit SerialClient(const std::string& path);
    static SerialClient adopt(int fd);
    ~SerialClient();
    SerialClient(SerialClient&& other) noexcept;
    SerialClient(const SerialClient&) = delete;
    SerialClient& operator=(const SerialClient&) = delete;

    int fd() const { return fd_; }
    // Writes all bytes; returns the time the write returned, or nothing when it failed.
    std::optional<Clock::time_point> write(const Bytes& bytes);
    // Reads until `count` bytes came, the line hung up, or `timeoutSeconds` passed.
    Received read(std::size_t count, double timeoutSeconds);
    // Waits up to `firstByteSeconds` for a first byte, then reads until the line has been quiet
    // for `quietSeconds`.
    Received readUntilQuiet(double firstByteSeconds, double quietSeconds);
    // Throws away what is queued.
    void flushInput();

private:
    SerialClient() = default;
    int fd_ = -1;
};

// A frame as the program sends it.
Bytes frame(std::uint16_t order, std::vector<std::uint16_t> words);
// `count` big-endian words.
std::vector<std::uint16_t> words(const Bytes& bytes);

// A program of the build, in the directory of the running test executable.
std::string programPath(const std::string& name);

class ChildProcess {
public:
    // Starts the program with its standard output on a pipe. Throws std::runtime_error.
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess(); // kills a child that is still running
    // The next line of its standard output, without the line end; nothing on timeout or end.
    std::optional<std::string> readLine(double timeoutSeconds);
    // All output until the child closes it (or the timeout).
    std::string readAll(double timeoutSeconds);
    void signal(int sig);
    // The exit code, or nothing when it has not exited in time (or died of a signal: -signal).
    std::optional<int> wait(double timeoutSeconds);

private:
    int pid_ = -1;
    int out_ = -1;
    std::string buffered_;
    bool exited_ = false;
};

} // namespace simtest
