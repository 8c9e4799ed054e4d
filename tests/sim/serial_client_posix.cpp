#include "serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace simtest {

Port::Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    // The simulator's pseudo-terminals are raw on both sides already.
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
}

Port::~Port() {
    ::close(fd_);
}

std::optional<Clock::time_point> Port::write(const Bytes& bytes) {
    // A frame fits into the pseudo-terminal's queue: one write takes it all.
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return {};
    return Clock::now();
}

void Port::flushOutput() {
    tcflush(fd_, TCOFLUSH);
}

Received Port::read(std::size_t count, double timeout, double quiet) {
    Received r;
    auto deadline = Clock::now() + sim::seconds(timeout);
    while (r.bytes.size() < count) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::uint8_t buf[512];
        const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - r.bytes.size()));
        if ((r.hungUp = n <= 0)) break; // EIO or end of file
        r.times.push_back(Clock::now());
        r.sizes.push_back(static_cast<std::size_t>(n));
        r.bytes.insert(r.bytes.end(), buf, buf + n);
        if (quiet > 0) deadline = Clock::now() + sim::seconds(quiet);
    }
    return r;
}

Bytes frame(std::uint16_t order, std::vector<std::uint16_t> words) {
    words.resize(16, 0);
    words.insert(words.begin(), {0x0055, order});
    return sim::encodeWords(words);
}

} // namespace simtest
