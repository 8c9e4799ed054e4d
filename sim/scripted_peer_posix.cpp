#include "sim/hand_over.h"
#include "sim/io_posix.h"
#include "sim/pty.h"
#include "sim/scripted_peer.h"
#include "sim/uart_carrier.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <functional>
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
    explicit Impl(const LineModel& m) : model(m), handOver(m, Clock::now()) {
        if (m.kind == LineKind::Uart) carrier.emplace(byteTime());
    }

    LineModel model;
    Pty pty;
    posix::WakePipe wake;
    std::vector<Step> script;
    std::thread thread;
    std::atomic<bool> stopRequested{false};

    // Line thread only.
    bool closed = false;
    HandOver handOver;
    Bytes out; // handed over, not yet written
    bool writeBlocked = false;
    std::optional<UartCarrier> carrier; // Uart model: the program's bytes on their way

    mutable std::mutex mu;
    std::condition_variable cv;
    bool finished = false;
    bool ok = false;
    std::string failure;
    Clock::time_point started{};
    std::vector<StepRecord> records;
    std::vector<Chunk> chunks;
    Bytes pending; // received, not yet taken by an expect
    Bytes flushed;

    void run();
    void readInput();
    void carryDue(Clock::time_point now);
    // Writes what has been handed over, as far as the line takes it; false when it failed.
    bool writeOut();
    // Runs the line (reads, carries, hands over, writes) until `deadline` (none: no limit) or
    // until `done` holds; false when asked to stop or a write failed.
    bool serve(std::optional<Clock::time_point> deadline, const std::function<bool()>& done);
    bool runStep(const Step& step, Clock::time_point previousEnd, StepRecord& rec);
};

void ScriptedPeer::Impl::readInput() {
    if (closed) return;
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = read(pty.masterFd(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        const auto at = Clock::now();
        if (carrier) {
            // Packet mode: see the line endpoint on the order of status and data.
            const posix::Packet packet = posix::splitPacket(buf, static_cast<std::size_t>(n));
            if (packet.outputFlushed) {
                carryDue(at);
                const Bytes gone = carrier->flush(at);
                std::lock_guard lock(mu);
                flushed.insert(flushed.end(), gone.begin(), gone.end());
            }
            carrier->push({packet.data, packet.size}, at);
            continue;
        }
        std::lock_guard lock(mu);
        chunks.push_back({Bytes(buf, buf + n), at});
        pending.insert(pending.end(), buf, buf + n);
    }
}

void ScriptedPeer::Impl::carryDue(Clock::time_point now) {
    const auto carried = carrier->take(now);
    if (carried.empty()) return;
    Chunk chunk{{}, carried.back().at};
    for (const UartCarrier::Carried& c : carried)
        chunk.bytes.push_back(c.byte);
    std::lock_guard lock(mu);
    pending.insert(pending.end(), chunk.bytes.begin(), chunk.bytes.end());
    chunks.push_back(std::move(chunk));
}

bool ScriptedPeer::Impl::writeOut() {
    if (closed) { // a reply after a hang-up goes nowhere, and ends all the same
        out.clear();
        return true;
    }
    while (!out.empty() && !writeBlocked) {
        const ssize_t w = write(pty.masterFd(), out.data(), out.size());
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            writeBlocked = true;
            break;
        }
        out.erase(out.begin(), out.begin() + w);
    }
    return true;
}

bool ScriptedPeer::Impl::serve(std::optional<Clock::time_point> deadline,
                               const std::function<bool()>& done) {
    for (;;) {
        if (stopRequested) return false;
        const auto now = Clock::now();
        if (carrier) carryDue(now);
        const Bytes handed = handOver.take(now);
        out.insert(out.end(), handed.begin(), handed.end());
        if (!writeOut()) return false;
        if ((done && done()) || (deadline && now >= *deadline)) return true;

        std::optional<Clock::time_point> next = deadline;
        auto consider = [&next](std::optional<Clock::time_point> t) {
            if (t && (!next || *t < *next)) next = t;
        };
        consider(handOver.nextDue());
        if (carrier) consider(carrier->nextDue());
        if (closed) {
            if (posix::waitReady(-1, false, wake, next).woken) wake.drain();
            continue;
        }
        if (next && !writeBlocked && *next - now <= kFinalSleep) {
            sleepUntil(*next);
            readInput();
            continue;
        }
        if (next) *next -= kFinalSleep;
        const auto r = posix::waitReady(pty.masterFd(), writeBlocked, wake, next);
        if (r.woken) wake.drain();
        if (r.writable) writeBlocked = false;
        if (r.readable) readInput();
    }
}

bool ScriptedPeer::Impl::runStep(const Step& step, Clock::time_point previousEnd, StepRecord& rec) {
    switch (step.kind) {
    case Step::Expect: {
        rec.what = "expect " + std::to_string(step.count);
        const auto enough = [&] {
            std::lock_guard lock(mu);
            return pending.size() >= step.count || closed;
        };
        serve(Clock::now() + seconds(step.seconds), enough);
        std::lock_guard lock(mu);
        if (pending.size() >= step.count) {
            rec.bytes.assign(pending.begin(), pending.begin() + step.count);
            pending.erase(pending.begin(), pending.begin() + step.count);
            rec.ok = true;
            return true;
        }
        rec.bytes = pending;
        pending.clear();
        failure = rec.what + " bytes: got " + std::to_string(rec.bytes.size()) + " within " +
                  std::to_string(step.seconds) + " s";
        return false;
    }
    case Step::Reply: {
        rec.what = "reply " + std::to_string(step.bytes.size());
        const bool paced = step.paced || model.pacesReplies();
        const auto bt = paced ? byteTime(step.baud) : std::chrono::nanoseconds{};
        handOver.add(step.bytes, previousEnd + seconds(step.seconds), bt, step.burst);
        rec.ok = serve(std::nullopt, [this] { return handOver.empty() && out.empty(); });
        return rec.ok;
    }
    case Step::Pause:
        rec.what = "pause";
        rec.ok = serve(previousEnd + seconds(step.seconds), {});
        return rec.ok;
    case Step::HangUp:
        rec.what = "hang-up";
        if (!serve(previousEnd + seconds(step.seconds), {})) return false;
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
    if (!closed) serve(std::nullopt, {});
}

ScriptedPeer::ScriptedPeer(LineModel model) : impl_(std::make_unique<Impl>(model)) {
    posix::setNonBlocking(impl_->pty.masterFd());
    if (impl_->carrier) posix::setPacketMode(impl_->pty.masterFd());
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

Bytes ScriptedPeer::flushedBytes() const {
    std::lock_guard lock(impl_->mu);
    return impl_->flushed;
}

} // namespace sim
