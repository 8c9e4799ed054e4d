#include "tests/harness/program.h"

#include "sim/frame_assembler.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace op {

BareLine::BareLine() {
    ::fcntl(fd(), F_SETFL, ::fcntl(fd(), F_GETFL) | O_NONBLOCK);
}

std::string BareLine::StartProgram() {
    MapPort(1, device());
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

PluggableLine::PluggableLine(std::string link, bool paced, sim::LineModel model)
    : link_(std::move(link)), paced_(paced), model_(std::move(model)) {
    plugIn();
}

PluggableLine::~PluggableLine() {
    sim_.reset();
    ::unlink(link_.c_str());
}

void PluggableLine::unplug() {
    if (sim_) sim_->line().hangUpNow();
    ::unlink(link_.c_str());
    plugged_ = false;
}

void PluggableLine::plugIn(const sim::LineModel& model) {
    model_ = model;
    plugIn();
}

void PluggableLine::plugIn() {
    unplug();
    sim_.reset();
    sim::Simulator::Options options;
    options.line.pacing = paced_;
    options.line.model = model_;
    sim_ = std::make_unique<sim::Simulator>(options);
    if (::symlink(sim_->devicePath().c_str(), link_.c_str()) != 0)
        throw std::runtime_error("cannot link " + link_ + " to " + sim_->devicePath());
    plugged_ = true;
}

} // namespace op
