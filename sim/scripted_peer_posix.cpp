#include "sim/io_posix.h"
#include "sim/pty.h"
#include "sim/scripted_peer.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace sim {

namespace {

constexpr auto kFinalSleep = std::chrono::microseconds(200);

struct Step {
    enum Kind { Expect, Reply, Pause, HangUp } kind;
    double seconds = 0; // expect: timeout; others: delay after the previous step
    std::size_t count = 0;
    Bytes bytes;
    bool paced = false;
    unsigned baud = kLineBaud;
    std::size_t burst = 1;
};

} // namespace

struct ScriptedPeer::Impl {
    Pty pty;
    posix::WakePipe wake;
    std::vector<Step> script;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    bool closed = false; // line thread only

    mutable std::mutex mu;
    std::condition_variable cv;
    bool finished = false;
    bool ok = false;
    std::string failure;
    Clock::time_point started{};
    std::vector<StepRecord> records;
    std::vector<Chunk> chunks;
    Bytes pending; // received, not yet taken by an expect

    void run();
    bool readInput();
    // Waits until the deadline, reading what comes; false when asked to stop.
    bool waitUntil(Clock::time_point deadline);
    bool writeAll(const std::uint8_t* data, std::size_t n);
    bool runStep(const Step& step, Clock::time_point previousEnd, StepRecord& rec);
};

bool ScriptedPeer::Impl::readInput() {
    if (closed) return true;
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = read(pty.masterFd(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;
        const auto at = Clock::now();
        std::lock_guard lock(mu);
        chunks.push_back({Bytes(buf, buf + n), at});
        pending.insert(pending.end(), buf, buf + n);
    }
}

bool ScriptedPeer::Impl::waitUntil(Clock::time_point deadline) {
    for (;;) {
        if (stopRequested) return false;
        const auto now = Clock::now();
        if (now >= deadline) return true;
        if (deadline - now <= kFinalSleep || closed) {
            if (closed) {
                posix::waitReady(-1, false, wake, deadline);
                continue;
            }
            sleepUntil(deadline);
            readInput();
            return !stopRequested;
        }
        const auto r = posix::waitReady(pty.masterFd(), false, wake, deadline - kFinalSleep);
        if (r.woken) wake.drain();
        if (r.readable) readInput();
    }
}

bool ScriptedPeer::Impl::writeAll(const std::uint8_t* data, std::size_t n) {
    while (n > 0 && !closed) {
        const ssize_t w = write(pty.masterFd(), data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            posix::waitReady(pty.masterFd(), true, wake,
                             Clock::now() + std::chrono::milliseconds(10));
            readInput();
            if (stopRequested) return false;
            continue;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool ScriptedPeer::Impl::runStep(const Step& step, Clock::time_point previousEnd, StepRecord& rec) {
    switch (step.kind) {
    case Step::Expect: {
        rec.what = "expect " + std::to_string(step.count);
        const auto deadline = Clock::now() + seconds(step.seconds);
        for (;;) {
            {
                std::lock_guard lock(mu);
                if (pending.size() >= step.count) {
                    rec.bytes.assign(pending.begin(), pending.begin() + step.count);
                    pending.erase(pending.begin(), pending.begin() + step.count);
                    rec.ok = true;
                    return true;
                }
            }
            if (Clock::now() >= deadline || stopRequested || closed) {
                std::lock_guard lock(mu);
                rec.bytes = pending;
                pending.clear();
                failure = rec.what + " bytes: got " + std::to_string(rec.bytes.size()) +
                          " within " + std::to_string(step.seconds) + " s";
                return false;
            }
            const auto r = posix::waitReady(pty.masterFd(), false, wake, deadline);
            if (r.woken) wake.drain();
            if (r.readable) readInput();
        }
    }
    case Step::Reply: {
        rec.what = "reply " + std::to_string(step.bytes.size());
        const auto start = previousEnd + seconds(step.seconds);
        if (!step.paced) {
            if (!waitUntil(start)) return false;
            rec.ok = writeAll(step.bytes.data(), step.bytes.size());
            return rec.ok;
        }
        const auto bt = byteTime(step.baud);
        const std::size_t burst = step.burst ? step.burst : 1;
        for (std::size_t sent = 0; sent < step.bytes.size();) {
            const std::size_t n = std::min(burst, step.bytes.size() - sent);
            if (!waitUntil(start + bt * static_cast<long>(sent + n))) return false;
            if (!writeAll(step.bytes.data() + sent, n)) return false;
            sent += n;
        }
        rec.ok = true;
        return true;
    }
    case Step::Pause:
        rec.what = "pause";
        rec.ok = waitUntil(previousEnd + seconds(step.seconds));
        return rec.ok;
    case Step::HangUp:
        rec.what = "hang-up";
        if (!waitUntil(previousEnd + seconds(step.seconds))) return false;
        pty.hangUp();
        closed = true;
        rec.ok = true;
        return true;
    }
    return false;
}

void ScriptedPeer::Impl::run() {
    auto previousEnd = Clock::now();
    {
        std::lock_guard lock(mu);
        started = previousEnd;
    }
    bool allOk = true;
    for (const Step& step : script) {
        StepRecord rec;
        const bool stepOk = runStep(step, previousEnd, rec);
        previousEnd = rec.done = Clock::now();
        {
            std::lock_guard lock(mu);
            records.push_back(rec);
            if (!stepOk && failure.empty()) failure = rec.what + " did not complete";
        }
        if (!stepOk) {
            allOk = false;
            break;
        }
    }
    {
        std::lock_guard lock(mu);
        finished = true;
        ok = allOk;
    }
    cv.notify_all();
    // Keep recording what the program writes until the peer goes away.
    while (!stopRequested && !closed) {
        const auto r = posix::waitReady(pty.masterFd(), false, wake, std::nullopt);
        if (r.woken) wake.drain();
        if (r.readable) readInput();
    }
}

ScriptedPeer::ScriptedPeer() : impl_(std::make_unique<Impl>()) {
    posix::setNonBlocking(impl_->pty.masterFd());
}

ScriptedPeer::~ScriptedPeer() {
    impl_->stopRequested = true;
    impl_->wake.wake();
    if (impl_->thread.joinable()) impl_->thread.join();
}

const std::string& ScriptedPeer::devicePath() const {
    return impl_->pty.slavePath();
}

ScriptedPeer& ScriptedPeer::expect(std::size_t count, double timeoutSeconds) {
    impl_->script.push_back({Step::Expect, timeoutSeconds, count, {}, false, kLineBaud, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::reply(Bytes bytes, double afterSeconds) {
    impl_->script.push_back({Step::Reply, afterSeconds, 0, std::move(bytes), false, kLineBaud, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::replyPaced(Bytes bytes, double afterSeconds, unsigned baud,
                                       std::size_t burstBytes) {
    impl_->script.push_back(
        {Step::Reply, afterSeconds, 0, std::move(bytes), true, baud, burstBytes});
    return *this;
}

ScriptedPeer& ScriptedPeer::pause(double secondsToWait) {
    impl_->script.push_back({Step::Pause, secondsToWait, 0, {}, false, kLineBaud, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::hangUp(double afterSeconds) {
    impl_->script.push_back({Step::HangUp, afterSeconds, 0, {}, false, kLineBaud, 1});
    return *this;
}

void ScriptedPeer::start() {
    if (impl_->thread.joinable()) return;
    impl_->thread = std::thread([this] { impl_->run(); });
}

bool ScriptedPeer::waitDone(double timeoutSeconds) {
    std::unique_lock lock(impl_->mu);
    impl_->cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                       [this] { return impl_->finished; });
    return impl_->finished && impl_->ok;
}

bool ScriptedPeer::finished() const {
    std::lock_guard lock(impl_->mu);
    return impl_->finished;
}

std::string ScriptedPeer::failure() const {
    std::lock_guard lock(impl_->mu);
    return impl_->failure;
}

Clock::time_point ScriptedPeer::startedAt() const {
    std::lock_guard lock(impl_->mu);
    return impl_->started;
}

std::vector<ScriptedPeer::StepRecord> ScriptedPeer::steps() const {
    std::lock_guard lock(impl_->mu);
    return impl_->records;
}

std::vector<ScriptedPeer::Chunk> ScriptedPeer::received() const {
    std::lock_guard lock(impl_->mu);
    return impl_->chunks;
}

Bytes ScriptedPeer::receivedBytes() const {
    std::lock_guard lock(impl_->mu);
    Bytes all;
    for (const Chunk& c : impl_->chunks)
        all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
}

} // namespace sim
