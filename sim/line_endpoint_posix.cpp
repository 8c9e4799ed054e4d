#include "sim/frame_assembler.h"
#include "sim/hand_over.h"
#include "sim/io_posix.h"
#include "sim/line_endpoint.h"
#include "sim/pty.h"
#include "sim/uart_carrier.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace sim {

namespace {

// The last stretch before a deadline is slept with an absolute clock_nanosleep; before that the
// thread waits in ppoll so that it still reads requests.
constexpr auto kFinalSleep = std::chrono::microseconds(200);
// After the last reply before a planned hang-up, wait at most this long for the program to read
// it (a pty throws away unread bytes when it hangs up).
constexpr auto kDrainLimitPty = std::chrono::seconds(1);
constexpr auto kDrainLimitDevice = std::chrono::milliseconds(100);

} // namespace

struct LineEndpoint::Impl {
    Impl(ControllerModel& m, LineOptions o)
        : model(m), opt(std::move(o)), bt(sim::byteTime(opt.baud, opt.bitsPerByte)),
          paced(opt.pacing || opt.model.pacesReplies()), assembler(seconds(opt.gapSeconds)),
          faults(opt.faults), handOver(opt.model, Clock::now()) {
        if (opt.burstBytes == 0) opt.burstBytes = 1;
        if (opt.model.kind == LineKind::Uart) carrier.emplace(bt);
    }

    ControllerModel& model;
    LineOptions opt;
    std::chrono::nanoseconds bt;
    bool paced;
    FrameAssembler assembler;
    FaultInjector faults;
    posix::WakePipe wake;

    std::unique_ptr<Pty> pty; // pty mode
    int fd = -1;              // pty master or serial device
    int probeFd = -1;         // pty mode: a slave descriptor to see what the program has not read
    std::string path;

    std::thread thread;
    std::atomic<bool> started{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> hangUpRequested{false};
    std::atomic<bool> muted{false};

    mutable std::mutex mu; // guards the fields below and the line's closing
    mutable std::condition_variable cv;
    bool hung = false;
    std::optional<FaultConfig> nextFaults; // taken by the line thread before the next reply
    std::deque<ReplyRecord> replies;
    std::size_t skipped = 0;
    std::size_t dropped = 0;
    std::size_t flushed = 0;

    // Owned by the line thread.
    HandOver handOver;
    Bytes out; // handed over, not yet written (the program is not reading)
    std::uint64_t queuedBytes = 0, writtenBytes = 0;
    std::deque<std::uint64_t> replyEnds; // queuedBytes at the end of each queued reply
    std::optional<UartCarrier> carrier;  // Uart model: request bytes on their way
    bool writeBlocked = false;
    Clock::time_point txFree{};
    Clock::time_point rxWire{};
    unsigned repliesWritten = 0;
    bool hangUpPending = false; // the planned number of replies has been sent
    Clock::time_point drainLimit{};
    std::optional<Clock::time_point> hangUpAt;

    void trace(const std::string& text) {
        if (opt.trace) opt.trace(text);
    }

    void run();
    bool readInput();
    void carryDue(Clock::time_point now);
    void publishCounts();
    bool writeDue(Clock::time_point now, std::optional<Clock::time_point>& next);
    void onFrame(AssembledFrame& frame);
    std::size_t unreadByProgram() const;

    void closeLine(const char* why) {
        {
            std::lock_guard lock(mu);
            if (hung) return;
            closeLocked();
        }
        trace(std::string("line closed: ") + why);
    }

    void closeLocked() {
        if (pty) {
            pty->hangUp();
        } else if (fd >= 0) {
            close(fd);
        }
        if (probeFd >= 0) close(probeFd);
        fd = probeFd = -1;
        hung = true;
        skipped = assembler.skippedBytes();
        dropped = assembler.droppedPartials();
        cv.notify_all();
    }
};

void LineEndpoint::Impl::run() {
    if (opt.faults.hangUpAfterSeconds > 0)
        hangUpAt = Clock::now() + seconds(opt.faults.hangUpAfterSeconds);
    while (!stopRequested) {
        const auto now = Clock::now();
        if (hangUpRequested) return closeLine("hang-up requested");
        if (hangUpAt && now >= *hangUpAt) return closeLine("hang-up time reached");
        if (hangUpPending && handOver.empty() && out.empty() &&
            (unreadByProgram() == 0 || now >= drainLimit))
            return closeLine("planned number of replies sent");

        // Carried request bytes may complete a frame, whose reply the write below schedules.
        if (carrier) carryDue(now);
        std::optional<Clock::time_point> next;
        if (!writeDue(now, next)) return closeLine("write failed, device lost");
        if (assembler.expire(now)) {
            trace("partial frame dropped after a gap");
            publishCounts();
        }
        auto consider = [&next](std::optional<Clock::time_point> t) {
            if (t && (!next || *t < *next)) next = t;
        };
        consider(assembler.expiryTime());
        if (carrier) consider(carrier->nextDue());
        consider(hangUpAt);
        if (hangUpPending) consider(now + std::chrono::milliseconds(2));

        if (next && !writeBlocked && *next - now <= kFinalSleep) {
            sleepUntil(*next);
            continue;
        }
        std::optional<Clock::time_point> waitUntil;
        if (next) waitUntil = *next - kFinalSleep;
        const auto r = posix::waitReady(fd, writeBlocked, wake, waitUntil);
        if (r.woken) wake.drain();
        if (r.writable) writeBlocked = false;
        if (r.readable && !readInput()) return closeLine("device lost");
    }
}

// Reads what is there; false when the device is gone.
bool LineEndpoint::Impl::readInput() {
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // EOF or EIO: the far side is gone
        const auto at = Clock::now();
        if (carrier) {
            // Packet mode. The kernel reports a flush before data still waiting in its buffer,
            // so data this thread had not read when the program flushed counts as written after
            // the flush and is carried. Reading promptly, that is only data written microseconds
            // before the flush (or more, when a busy machine holds this thread back).
            const posix::Packet packet = posix::splitPacket(buf, static_cast<std::size_t>(n));
            if (packet.outputFlushed) {
                carryDue(at);
                if (const std::size_t k = carrier->flush(at).size()) {
                    trace("program flushed its output: " + std::to_string(k) +
                          " request bytes not carried are gone");
                    std::lock_guard lock(mu);
                    flushed += k;
                }
            }
            carrier->push({packet.data, packet.size}, at);
        } else {
            for (ssize_t i = 0; i < n; ++i) {
                // A byte is complete on the wire one byte time after the line became free for it.
                const auto wire = paced ? std::max(at, rxWire) + bt : at;
                rxWire = wire;
                if (auto frame = assembler.push(buf[i], at, wire)) onFrame(*frame);
            }
            publishCounts();
        }
        if (static_cast<std::size_t>(n) < sizeof buf) return true;
    }
}

// Uart model: hands the request bytes carried by `now` to the frame assembler.
void LineEndpoint::Impl::carryDue(Clock::time_point now) {
    const auto carried = carrier->take(now);
    for (const UartCarrier::Carried& c : carried)
        if (auto frame = assembler.push(c.byte, c.at, c.at)) onFrame(*frame);
    if (!carried.empty()) publishCounts();
}

void LineEndpoint::Impl::publishCounts() {
    std::lock_guard lock(mu);
    skipped = assembler.skippedBytes();
    dropped = assembler.droppedPartials();
}

void LineEndpoint::Impl::onFrame(AssembledFrame& frame) {
    const Frame request = decodeFrame(frame.bytes);
    if (muted || hangUpPending) {
        model.recordOnly(frame.bytes, frame.firstByte, frame.lastWire);
        trace("rx order " + std::to_string(request.order) + ": " + hexString(frame.bytes) +
              (muted ? "  (muted, no reply)" : "  (hanging up, no reply)"));
        return;
    }
    const Bytes reply = model.handle(frame.bytes, frame.firstByte, frame.lastWire);
    trace("rx order " + std::to_string(request.order) + ": " + hexString(frame.bytes));
    if (reply.empty()) {
        trace("   order " + std::to_string(request.order) + " gets no reply");
        return;
    }
    {
        std::lock_guard lock(mu);
        if (nextFaults) {
            faults = FaultInjector(*nextFaults);
            nextFaults.reset();
        }
    }
    ReplyRecord rec;
    rec.order = request.order;
    rec.reply = reply;
    rec.fault = faults.decide(request.order, reply.size());
    rec.sent = FaultInjector::apply(reply, rec.fault);
    const auto now = Clock::now();
    auto start = std::max(paced ? frame.lastWire : now, txFree);
    start += seconds(rec.fault.delaySeconds);
    rec.start = start;
    trace("tx order " + std::to_string(request.order) + " (" + std::to_string(rec.sent.size()) +
          " bytes, " + rec.fault.describe() + "): " + hexString(rec.sent));
    if (!rec.sent.empty()) {
        const std::chrono::nanoseconds wireByte = paced ? bt : std::chrono::nanoseconds{};
        handOver.add(rec.sent, start, wireByte, opt.burstBytes);
        queuedBytes += rec.sent.size();
        replyEnds.push_back(queuedBytes);
        txFree = start + wireByte * static_cast<long>(rec.sent.size());
    }
    std::lock_guard lock(mu);
    replies.push_back(std::move(rec));
    while (replies.size() > std::max<std::size_t>(opt.replyLogLimit, 1))
        replies.pop_front();
}

// Writes what the line has handed over by now; `next` receives the time of the next hand-over.
// False when the line is gone.
bool LineEndpoint::Impl::writeDue(Clock::time_point now, std::optional<Clock::time_point>& next) {
    const Bytes handed = handOver.take(now);
    out.insert(out.end(), handed.begin(), handed.end());
    while (!out.empty() && !writeBlocked) {
        const ssize_t w = write(fd, out.data(), out.size());
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeBlocked = true;
                break;
            }
            return false;
        }
        out.erase(out.begin(), out.begin() + w);
        writtenBytes += static_cast<std::uint64_t>(w);
        if (!out.empty()) writeBlocked = true;
    }
    for (; !replyEnds.empty() && writtenBytes >= replyEnds.front(); replyEnds.pop_front()) {
        ++repliesWritten;
        const unsigned limit = opt.faults.hangUpAfterReplies;
        if (limit > 0 && repliesWritten >= limit && !hangUpPending) {
            hangUpPending = true;
            drainLimit = Clock::now() + (pty ? Clock::duration(kDrainLimitPty)
                                             : Clock::duration(kDrainLimitDevice));
        }
    }
    next = handOver.nextDue();
    return true;
}

std::size_t LineEndpoint::Impl::unreadByProgram() const {
    if (probeFd < 0) return 0;
    int queued = 0;
    if (ioctl(probeFd, FIONREAD, &queued) != 0) return 0;
    return static_cast<std::size_t>(queued);
}

LineEndpoint::LineEndpoint(ControllerModel& model, LineOptions options)
    : impl_(std::make_unique<Impl>(model, std::move(options))) {
    impl_->pty = std::make_unique<Pty>();
    impl_->fd = impl_->pty->masterFd();
    impl_->path = impl_->pty->slavePath();
    posix::setNonBlocking(impl_->fd);
    // Packet mode tells the controller's side when the program flushes its output.
    if (impl_->carrier) posix::setPacketMode(impl_->fd);
    // Opened before the program can lock the device for itself.
    impl_->probeFd = open(impl_->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

LineEndpoint::LineEndpoint(ControllerModel& model, const std::string& device, LineOptions options)
    : impl_(std::make_unique<Impl>(model, std::move(options))) {
    if (impl_->opt.model.kind != LineKind::Pty)
        throw std::invalid_argument("a serial device serves only the pty line model, not " +
                                    impl_->opt.model.name());
    impl_->fd = posix::openSerialDevice(device, impl_->opt.baud);
    impl_->path = device;
}

LineEndpoint::~LineEndpoint() {
    stop();
}

const std::string& LineEndpoint::devicePath() const {
    return impl_->path;
}

std::chrono::nanoseconds LineEndpoint::byteTime() const {
    return impl_->bt;
}

void LineEndpoint::start() {
    if (impl_->started.exchange(true)) return;
    if (hungUp()) return;
    impl_->thread = std::thread([this] { impl_->run(); });
}

void LineEndpoint::stop() {
    impl_->stopRequested = true;
    impl_->wake.wake();
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->closeLine("stopped");
}

void LineEndpoint::setFaults(const FaultConfig& faults) {
    std::lock_guard lock(impl_->mu);
    impl_->nextFaults = faults;
}

void LineEndpoint::setMuted(bool muted) {
    impl_->muted = muted;
}

bool LineEndpoint::muted() const {
    return impl_->muted;
}

void LineEndpoint::hangUpNow() {
    if (!impl_->thread.joinable()) return impl_->closeLine("hang-up requested");
    impl_->hangUpRequested = true;
    impl_->wake.wake();
    waitHungUp(5.0);
}

bool LineEndpoint::hungUp() const {
    std::lock_guard lock(impl_->mu);
    return impl_->hung;
}

bool LineEndpoint::waitHungUp(double timeoutSeconds) const {
    std::unique_lock lock(impl_->mu);
    return impl_->cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                              [this] { return impl_->hung; });
}

std::vector<ReplyRecord> LineEndpoint::replies() const {
    std::lock_guard lock(impl_->mu);
    return {impl_->replies.begin(), impl_->replies.end()};
}

void LineEndpoint::clearReplies() {
    std::lock_guard lock(impl_->mu);
    impl_->replies.clear();
}

std::size_t LineEndpoint::skippedBytes() const {
    std::lock_guard lock(impl_->mu);
    return impl_->skipped;
}

std::size_t LineEndpoint::droppedPartials() const {
    std::lock_guard lock(impl_->mu);
    return impl_->dropped;
}

std::size_t LineEndpoint::flushedRequestBytes() const {
    std::lock_guard lock(impl_->mu);
    return impl_->flushed;
}

} // namespace sim
