#include "bench/support/bare_line.h"

#include "sim/frame_assembler.h"
#include "tests/harness/program.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace bench {

BareLine::BareLine() {
    ::fcntl(fd(), F_SETFL, ::fcntl(fd(), F_GETFL) | O_NONBLOCK);
}

std::string BareLine::StartProgram() {
    op::MapPort(1, device());
    std::atomic<bool> started{false};
    // The controller's side of the start-up (echo, pages, firmware text), answered at once.
    std::thread answers([this, &started] {
        sim::FrameAssembler frames(std::chrono::milliseconds(100));
        std::uint8_t buf[512];
        while (!started) {
            pollfd p{fd(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            const ssize_t n = ::read(fd(), buf, sizeof buf);
            const auto now = sim::Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                if (auto frame = frames.push(buf[i], now, now)) Write(model_.handle(frame->bytes));
        }
    });
    const std::string why = op::StartProgram();
    started = true;
    answers.join();
    return why;
}

bool BareLine::Write(const sim::Bytes& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        } else {
            pollfd p{fd(), POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return true;
}

void BareLine::Drain() {
    std::uint8_t scratch[4096];
    while (::read(fd(), scratch, sizeof scratch) > 0) {
    }
}

} // namespace bench
