// Serial port service: the port table, the bounded input queue of each port, the blocking reads
// and writes with their time limit, and the receive notification that the event pump delivers.
// The device itself (termios, poll) is behind serial_detail::Device.
#include "runtime/serial.h"
#include "runtime/due_ticks.h"
#include "runtime/serial_device.h"
#include "runtime/testing.h"
#include "runtime/timing.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using serial_detail::Device;

// Time limit of reads and writes until SetComTime sets one.
constexpr double kDefaultTimeLimit = 10.0;
constexpr int kMinQueueSize = 36;
constexpr int kMaxQueueSize = 1 << 20;
// FlushInQ drains at most this much from a device that keeps sending, then stops.
constexpr std::size_t kFlushDrainLimit = 1 << 20;

// A fixed-capacity byte ring: the port's input queue never grows past its configured size.
class ByteQueue {
public:
    explicit ByteQueue(std::size_t capacity) : buf_(capacity) {}
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return buf_.size(); }
    std::size_t space() const { return buf_.size() - size_; }

    void push(const unsigned char* data, std::size_t n) {
        n = std::min(n, space());
        for (std::size_t done = 0; done < n;) {
            const std::size_t tail = (head_ + size_) % buf_.size();
            const std::size_t chunk = std::min(n - done, buf_.size() - tail);
            std::memcpy(buf_.data() + tail, data + done, chunk);
            size_ += chunk;
            done += chunk;
        }
    }

    std::size_t take(unsigned char* out, std::size_t n) {
        n = std::min(n, size_);
        for (std::size_t done = 0; done < n;) {
            const std::size_t chunk = std::min(n - done, buf_.size() - head_);
            std::memcpy(out + done, buf_.data() + head_, chunk);
            head_ = (head_ + chunk) % buf_.size();
            size_ -= chunk;
            done += chunk;
        }
        return n;
    }

    void clear() { head_ = size_ = 0; }

private:
    std::vector<unsigned char> buf_;
    std::size_t head_ = 0, size_ = 0;
};

struct Port {
    Port(int num, std::uint64_t openId, std::unique_ptr<Device> dev, std::size_t queueSize)
        : number(num), id(openId), device(std::move(dev)), queue(queueSize) {}

    int number;
    std::uint64_t id; // tells this opening from later openings of the same number
    std::unique_ptr<Device> device;
    ByteQueue queue;
    double timeLimit = kDefaultTimeLimit;
    bool open = true;
    bool hungUp = false;

    // Receive notification.
    int eventMask = 0;
    int notifyCount = 0;
    int eventChar = -1;
    ComCallbackPtr callback = nullptr;
    void* callbackData = nullptr;
    bool newBytes = false;     // bytes entered the queue since the last evaluation
    bool sawEventChar = false; // ... and the event character was among them
    bool delivering = false;   // the callback is running (no recursive delivery)
    bool recheck = false;      // something happened while delivering
    bool checkPosted = false;
    std::uint64_t taken = 0; // bytes read out of the queue so far

    QSocketNotifier* notifier = nullptr;

    bool notifying() const { return callback != nullptr && eventMask != 0; }
};

std::array<std::shared_ptr<Port>, kComMaxPort + 1> ports;
std::uint64_t lastOpenId = 0;
// How deeply the service's own event handlers are running; a notifier is not deleted directly
// while one of them may be on the stack.
int handlerDepth = 0;

struct HandlerScope {
    HandlerScope() { ++handlerDepth; }
    ~HandlerScope() { --handlerDepth; }
};

// Receiver of the service's queued checks and timers; lives as long as the program.
QObject* serviceContext() {
    static QObject* context = nullptr;
    if (!context && QCoreApplication::instance()) context = new QObject;
    return context;
}

std::shared_ptr<Port> lookup(int number, std::uint64_t id) {
    if (number < 1 || number > kComMaxPort) return nullptr;
    const auto& p = ports[static_cast<std::size_t>(number)];
    return p && p->id == id ? p : nullptr;
}

// The open port behind a number, or the error code for why there is none.
std::shared_ptr<Port> portFor(int number, int& error) {
    if (number < 1 || number > kComMaxPort) {
        error = kComErrInvalidPort;
        return nullptr;
    }
    auto p = ports[static_cast<std::size_t>(number)];
    error = p ? 0 : kComErrNotOpen;
    return p;
}

void clearNews(Port& p) {
    p.newBytes = p.sawEventChar = false;
}

void dropNotifier(Port& p) {
    if (!p.notifier) return;
    p.notifier->setEnabled(false);
    QObject::disconnect(p.notifier, nullptr, nullptr, nullptr);
    // Deleting a notifier inside its own activation is unsafe; a disabled one costs nothing
    // until the event loop removes it.
    if (handlerDepth > 0)
        p.notifier->deleteLater();
    else
        delete p.notifier;
    p.notifier = nullptr;
}

// Bytes the notification waits for before it can be raised: the rest of the notify count when
// the count is asked for (the event character then shows with the bytes that complete it), else
// any byte.
int bytesAwaited(const Port& p) {
    if (!p.notifying() || !(p.eventMask & kComEvRxCount)) return 1;
    const auto queued = static_cast<int>(p.queue.size());
    return p.notifyCount > queued ? p.notifyCount - queued : 1;
}

// Watch the descriptor only while the queue has room and the device is there: a full queue
// leaves further bytes waiting in the driver; a hung-up device would wake the loop forever.
// While it is watched, the device wakes the event pump only once the notification can be
// raised: a frame that trickles in at the line's speed is one wake-up, not one per byte.
// Without readMinimum the device's wake-up count is left as it is (it is set again later).
void updateNotifier(Port& p, bool readMinimum = true) {
    if (!p.notifier) return;
    const bool want = p.open && !p.hungUp && p.queue.space() > 0;
    if (p.notifier->isEnabled() != want) p.notifier->setEnabled(want);
    if (want && readMinimum) p.device->setReadMinimum(bytesAwaited(p));
}

void markHungUp(Port& p) {
    p.hungUp = true;
    updateNotifier(p);
}

// Bytes that came from the device enter the queue (the caller took no more than it has room
// for) and become news for the receive notification.
void arrived(Port& p, const unsigned char* bytes, std::size_t count) {
    p.queue.push(bytes, count);
    if (p.notifying()) {
        p.newBytes = true;
        if ((p.eventMask & kComEvRxChar) && std::memchr(bytes, p.eventChar, count))
            p.sawEventChar = true;
    }
}

// Moves what the device has received into the queue, as far as it has room. Returns whether
// new bytes entered the queue. readMinimum as for updateNotifier.
bool pull(Port& p, bool readMinimum = true) {
    if (!p.device || p.hungUp) return false;
    bool got = false;
    unsigned char chunk[4096];
    while (p.queue.space() > 0) {
        const std::size_t want = std::min(p.queue.space(), sizeof chunk);
        const long n = p.device->readAvailable(chunk, want);
        if (n == 0) break;
        if (n < 0) {
            markHungUp(p);
            break;
        }
        const auto count = static_cast<std::size_t>(n);
        arrived(p, chunk, count);
        got = true;
        // A short read took all there was: asking again would only say so (one system call
        // per burst of a frame saved). Bytes that come later wake the notifier again.
        if (count < want) break;
    }
    updateNotifier(p, readMinimum);
    return got;
}

void postCheck(Port& p);

// Calls the callback with the events that hold now. Runs only from event processing.
void evaluate(const std::shared_ptr<Port>& p) {
    if (!p->open) return;
    if (!p->notifying()) {
        clearNews(*p);
        return;
    }
    if (p->delivering) {
        p->recheck = true;
        return;
    }
    // Timer ticks that came due before these bytes count before the notification.
    panelsvc::DeliverDueTicks();
    if (!p->open || !p->notifying()) return; // a tick's callback closed the port or removed it
    int events = 0;
    if (p->newBytes) {
        if ((p->eventMask & kComEvRxCount) &&
            p->queue.size() >= static_cast<std::size_t>(p->notifyCount))
            events |= kComEvRxCount;
        if ((p->eventMask & kComEvRxChar) && p->sawEventChar) events |= kComEvRxChar;
    }
    clearNews(*p);
    if (events == 0) return;

    const ComCallbackPtr callback = p->callback;
    void* const data = p->callbackData;
    const std::uint64_t takenBefore = p->taken;
    p->delivering = true;
    p->recheck = false;
    callback(p->number, events, data);
    p->delivering = false;
    if (!p->open) return;
    // The callback read part of the queue and a full notify count is still there (two frames
    // arrived together): tell it again. A callback that reads nothing is not called again
    // until new bytes come, so an unread queue cannot make it run in a loop.
    if (p->notifying() && (p->eventMask & kComEvRxCount) && p->taken != takenBefore &&
        p->queue.size() >= static_cast<std::size_t>(p->notifyCount)) {
        p->newBytes = true;
        p->recheck = true;
    }
    if (p->recheck) {
        p->recheck = false;
        postCheck(*p);
    }
}

// Lets the next event processing evaluate the notification (after a serial call pulled bytes
// in, or after a delivery during which more happened).
void postCheck(Port& p) {
    QObject* context = serviceContext();
    if (p.checkPosted || !context) return;
    p.checkPosted = true;
    QMetaObject::invokeMethod(
        context,
        [number = p.number, id = p.id] {
            auto port = lookup(number, id);
            if (!port) return;
            HandlerScope scope;
            port->checkPosted = false;
            evaluate(port);
        },
        Qt::QueuedConnection);
}

void onReadable(int number, std::uint64_t id) {
    auto p = lookup(number, id);
    if (!p) return;
    HandlerScope scope;
    // The device's wake-up count is set once the callback has had the bytes: it mostly reads
    // them, and the count would otherwise be lowered for the queued frame and raised again at
    // once (two terminal settings per frame).
    const bool got = pull(*p, false);
    // Woken with nothing to read: a hang-up that shows only in poll, not in read.
    if (!got && !p->hungUp && p->queue.space() > 0 && p->device->waitReadable(0) == kComErrIo)
        markHungUp(*p);
    evaluate(p);
    updateNotifier(*p);
}

void ensureNotifier(Port& p) {
    QObject* context = serviceContext();
    if (p.notifier || !context || p.hungUp) return;
    p.notifier =
        new QSocketNotifier(static_cast<qintptr>(p.device->nativeHandle()), QSocketNotifier::Read);
    QObject::connect(p.notifier, &QSocketNotifier::activated, context,
                     [number = p.number, id = p.id] { onReadable(number, id); });
    updateNotifier(p);
}

int closePort(int number) {
    auto p = ports[static_cast<std::size_t>(number)];
    if (!p) return kComErrNotOpen;
    ports[static_cast<std::size_t>(number)].reset();
    p->open = false;
    dropNotifier(*p);
    p->device.reset();
    p->queue.clear();
    return 0;
}

} // namespace

const char* ComErrorText(int code) {
    switch (code) {
    case kComErrSystem:
        return "Unknown system error";
    case kComErrInvalidPort:
        return "Invalid port number";
    case kComErrNotOpen:
        return "Port is not open";
    case kComErrIo:
        return "Unknown I/0 error";
    case kComErrNoPort:
        return "No serial port found";
    case kComErrCannotOpen:
        return "Cannot open port";
    case kComErrInvalidParam:
        return "Invalid parameter";
    case kComErrTimeout:
        return "Timeout";
    default:
        return "RS-232 error!";
    }
}

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    if (port < 1 || port > kComMaxPort) return kComErrInvalidPort;
    serial_detail::LineSettings settings;
    settings.baudRate = baudRate;
    settings.parity = parity;
    settings.dataBits = dataBits;
    settings.stopBits = stopBits;
    if (serial_detail::checkLineSettings(settings) < 0) return kComErrInvalidParam;
    if (inputQueueSize < kMinQueueSize || inputQueueSize > kMaxQueueSize ||
        outputQueueSize < kMinQueueSize || outputQueueSize > kMaxQueueSize)
        return kComErrInvalidParam;

    closePort(port);
    const std::string path =
        deviceName && *deviceName ? std::string(deviceName) : ComPortDevice(port);
    if (path.empty()) return kComErrNoPort;
    std::unique_ptr<Device> device;
    if (const int error = Device::open(path, settings, device); error < 0) return error;

    auto p = std::make_shared<Port>(port, ++lastOpenId, std::move(device),
                                    static_cast<std::size_t>(inputQueueSize));
    ports[static_cast<std::size_t>(port)] = p;
    ensureNotifier(*p);
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (!(timeoutSeconds >= 0) || !std::isfinite(timeoutSeconds)) return kComErrInvalidParam;
    p->timeLimit = timeoutSeconds;
    return 0;
}

int SetCTSMode(int port, int mode) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (mode != 0 && mode != 1) return kComErrInvalidParam;
    if (p->hungUp) return kComErrIo;
    return p->device->setCtsHandshake(mode == 1);
}

int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (eventMask != 0 && callback) {
        if ((eventMask & kComEvRxCount) &&
            (notifyCount < 1 || static_cast<std::size_t>(notifyCount) > p->queue.capacity()))
            return kComErrInvalidParam;
        if ((eventMask & kComEvRxChar) && (eventCharacter < 0 || eventCharacter > 255))
            return kComErrInvalidParam;
        p->eventMask = eventMask;
        p->notifyCount = notifyCount;
        p->eventChar = eventCharacter;
        p->callback = callback;
        p->callbackData = callbackData;
    } else {
        p->eventMask = 0;
        p->callback = nullptr;
        p->callbackData = nullptr;
    }
    // A fresh installation starts with no news; a removal forgets what was pending.
    clearNews(*p);
    p->recheck = false;
    ensureNotifier(*p);
    updateNotifier(*p);
    return 0;
}

int ComWrt(int port, const void* buffer, int count) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (count < 0 || (count > 0 && !buffer)) return kComErrInvalidParam;
    if (p->hungUp) return kComErrIo;
    const auto* in = static_cast<const unsigned char*>(buffer);
    const double deadline = Timer() + p->timeLimit;
    int written = 0;
    while (written < count) {
        const long n =
            p->device->writeSome(in + written, static_cast<std::size_t>(count - written));
        if (n < 0) {
            if (n == kComErrIo) markHungUp(*p);
            return static_cast<int>(n);
        }
        written += static_cast<int>(n);
        if (written == count) break;
        const double left = deadline - Timer();
        if (left <= 0) break;
        if (p->device->waitWritable(left) == kComErrIo) {
            markHungUp(*p);
            return kComErrIo;
        }
    }
    if (written == count) return count;
    return written > 0 ? written : kComErrTimeout;
}

int ComRd(int port, void* buffer, int count) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (count < 0 || (count > 0 && !buffer)) return kComErrInvalidParam;
    auto* out = static_cast<unsigned char*>(buffer);
    const double deadline = Timer() + p->timeLimit;
    // The queue alone may hold all that is asked for (the receive notification reads a frame
    // that is already there): then the device is not asked.
    bool got = p->queue.size() < static_cast<std::size_t>(count) && pull(*p);
    std::size_t n = 0;
    const auto want = static_cast<std::size_t>(count);
    for (;;) {
        const std::size_t took = p->queue.take(out + n, want - n);
        n += took;
        p->taken += took;
        if (n >= want || p->hungUp) break;
        const double left = deadline - Timer();
        if (left <= 0) break;
        p->device->setReadMinimum(static_cast<int>(want - n));
        const int ready = p->device->waitReadable(left);
        const bool more = pull(*p);
        got = got || more;
        if (ready == kComErrIo && !more) markHungUp(*p);
    }
    updateNotifier(*p);
    if (got && p->notifying()) postCheck(*p);
    return static_cast<int>(n);
}

int GetInQLen(int port) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (pull(*p) && p->notifying()) postCheck(*p);
    return static_cast<int>(p->queue.size());
}

int FlushInQ(int port) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    p->queue.clear();
    p->newBytes = p->sawEventChar = false;
    // What the driver has already received goes too; what arrives later is kept. A driver that
    // discards on request needs no reading; from one that does not, it is read and dropped.
    if (!p->hungUp && p->device->flushInput() == 0) {
        unsigned char scratch[4096];
        for (std::size_t drained = 0; drained < kFlushDrainLimit;) {
            const long n = p->device->readAvailable(scratch, sizeof scratch);
            if (n == 0) break;
            if (n < 0) {
                markHungUp(*p);
                break;
            }
            drained += static_cast<std::size_t>(n);
        }
    }
    updateNotifier(*p);
    return 0;
}

int FlushOutQ(int port) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (!p->hungUp) p->device->flushOutput();
    return 0;
}

int CloseCom(int port) {
    if (port < 1 || port > kComMaxPort) return kComErrInvalidPort;
    return closePort(port);
}

int InjectComInput(int port, const void* bytes, int count) {
    int error;
    auto p = portFor(port, error);
    if (!p) return error;
    if (count < 0 || (count > 0 && !bytes)) return kComErrInvalidParam;
    const auto n = std::min(static_cast<std::size_t>(count), p->queue.space());
    if (n == 0) return 0;
    arrived(*p, static_cast<const unsigned char*>(bytes), n);
    updateNotifier(*p);
    if (p->notifying()) postCheck(*p);
    return static_cast<int>(n);
}

std::string ComPortDevice(int port) {
    if (port < 1 || port > kComMaxPort) return {};
    const std::string variable = "EVOK_COM" + std::to_string(port);
    if (const char* path = std::getenv(variable.c_str()); path && *path) return path;
    // Listing the devices walks the system's device tree (tens of milliseconds); the COM ring
    // asks for sixteen ports at once, so the list is reused for a second. An adapter plugged in
    // shows up within that second.
    static std::vector<std::string> devices;
    static double listedAt = -1.0;
    constexpr double kListLifetime = 1.0;
    const double now = Timer();
    if (listedAt < 0 || now - listedAt > kListLifetime) {
        devices = serial_detail::listSerialDevices();
        listedAt = now;
    }
    const auto index = static_cast<std::size_t>(port - 1);
    return index < devices.size() ? devices[index] : std::string();
}

std::string ComPortDescription(int port) {
    const std::string device = ComPortDevice(port);
    return device.empty() ? std::string() : serial_detail::describeSerialDevice(device);
}
