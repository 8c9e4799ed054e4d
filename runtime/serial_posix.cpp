// Serial devices on POSIX: termios in raw mode, non-blocking descriptor, poll for waiting.
#include "runtime/serial.h"
#include "runtime/serial_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace serial_detail {

namespace {

enum class Phase { Open, Io };

// The one place where errno values become the service's error codes.
int comErrorFromErrno(int err, Phase phase) {
    switch (err) {
    case ENOMEM:
    case EMFILE:
    case ENFILE:
        return kComErrSystem;
    case EINVAL:
        return phase == Phase::Open ? kComErrInvalidParam : kComErrIo;
    case ENOENT:
    case EACCES:
    case EPERM:
    case EBUSY:
    case EROFS:
    case EISDIR:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
    case ETXTBSY:
    case ENOTTY:
        return phase == Phase::Open ? kComErrCannotOpen : kComErrIo;
    case ENXIO:
    case ENODEV:
        // The device node exists but nothing is behind it (adapter unplugged).
        return phase == Phase::Open ? kComErrCannotOpen : kComErrIo;
    case EIO:
    case EPIPE:
    case EBADF:
    case ECONNRESET:
        return kComErrIo;
    default:
        return phase == Phase::Open ? kComErrSystem : kComErrIo;
    }
}

// Modem-line and termios requests that a pseudo-terminal refuses; not a reason to fail.
bool refusedByPty(int err) {
    return err == EINVAL || err == ENOTTY || err == ENOTSUP;
}

// The rates a line can be set to.
speed_t speedFor(long baud) {
    static constexpr std::pair<long, speed_t> kSpeeds[] = {
        {110, B110},       {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},
        {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& [rate, speed] : kSpeeds)
        if (rate == baud) return speed;
    return B0;
}

timespec toTimespec(double seconds) {
    if (!(seconds > 0)) return timespec{0, 0};
    if (seconds > 1e6) seconds = 1e6;
    timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
    return ts;
}

// poll for one event with sub-millisecond precision; returns revents, 0 on timeout, -1 on error.
int pollOne(int fd, short events, double seconds) {
    pollfd p{fd, events, 0};
    const timespec ts = toTimespec(seconds);
    for (;;) {
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0) return p.revents;
        if (n == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

int fdOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// "ttyUSB10" -> sort key (group, name with numbers compared by value).
int deviceGroup(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.rfind("ttyUSB", 0) == 0) return 0;
    if (name.rfind("ttyACM", 0) == 0) return 1;
    if (name.rfind("ttyS", 0) == 0) return 2;
    return 3;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Natural order: runs of digits compare by value, everything else by character.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            // Compare by value: strip leading zeros, then by length, then digit by digit.
            std::size_t is = i, js = j;
            while (is + 1 < ie && a[is] == '0')
                ++is;
            while (js + 1 < je && b[js] == '0')
                ++js;
            if (ie - is != je - js) return ie - is < je - js;
            const int c = a.compare(is, ie - is, b, js, je - js);
            if (c != 0) return c < 0;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// Port order: see listSerialDevices.
void sortIntoPortOrder(std::vector<std::string>& paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const int ga = deviceGroup(a), gb = deviceGroup(b);
        if (ga != gb) return ga < gb;
        return naturalLess(a, b);
    });
}

} // namespace

int checkLineSettings(const LineSettings& s) {
    if (speedFor(s.baudRate) == B0) return kComErrInvalidParam;
    if (s.parity < 0 || s.parity > 2) return kComErrInvalidParam;
    if (s.dataBits < 5 || s.dataBits > 8) return kComErrInvalidParam;
    if (s.stopBits != 1 && s.stopBits != 2) return kComErrInvalidParam;
    return 0;
}

int Device::open(const std::string& path, const LineSettings& s, std::unique_ptr<Device>& out) {
    if (const int bad = checkLineSettings(s); bad < 0) return bad;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return comErrorFromErrno(errno, Phase::Open);

    auto fail = [fd](int err) {
        ::close(fd);
        return comErrorFromErrno(err, Phase::Open);
    };

    // A device that is not a terminal at all cannot carry the line.
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return fail(errno);
    // Exclusive use: a second open of the device fails with EBUSY (except for root).
    if (ioctl(fd, TIOCEXCL) != 0 && !refusedByPty(errno)) return fail(errno);

    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[s.dataBits - 5] | CLOCAL | CREAD;
    if (s.parity != 0) tio.c_cflag |= PARENB | (s.parity == 1 ? PARODD : 0);
    if (s.stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // A read that returns 0 then means end of file (hang-up), never "no data yet".
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(s.baudRate);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0 && !refusedByPty(errno)) return fail(errno);

    // Raise DTR and RTS: some adapters and controllers take their supply or enable from them.
    // A device without modem lines (a pty) refuses; it still carries data.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);

    out.reset(new Device(fd));
    out->lowLatencyToUndo_ = beginLowLatency(fd);
    return 0;
}

Device::~Device() {
    const int fd = fdOf(handle_);
    if (lowLatencyToUndo_) endLowLatency(fd);
    // Give up exclusive use explicitly: on a pty whose other openers stay, the flag would
    // otherwise outlive this descriptor and refuse our own next open of the same device.
    ioctl(fd, TIOCNXCL);
    ::close(fd);
}

long Device::readAvailable(void* buffer, std::size_t size) {
    if (size == 0) return 0;
    for (;;) {
        const ssize_t n = ::read(fdOf(handle_), buffer, size);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return kComErrIo; // end of file: the far side is gone
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        const int mapped = comErrorFromErrno(errno, Phase::Io);
        return mapped == kComErrSystem ? kComErrSystem : kComErrIo;
    }
}

long Device::writeSome(const void* buffer, std::size_t size) {
    if (size == 0) return 0;
    for (;;) {
        const ssize_t n = ::write(fdOf(handle_), buffer, size);
        // The kernel may hand the bytes on in a worker of its own queued on this processor (a
        // pseudo-terminal does): let it run now, before the GUI work that follows a request,
        // so that the bytes are on their way at once. Costs nothing when nothing waits.
        if (n > 0) sched_yield();
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        const int mapped = comErrorFromErrno(errno, Phase::Io);
        return mapped == kComErrSystem ? kComErrSystem : kComErrIo;
    }
}

int Device::waitReadable(double seconds) {
    const int rev = pollOne(fdOf(handle_), POLLIN, seconds);
    if (rev < 0) return kComErrIo;
    if (rev & POLLIN) return 1;
    if (rev & (POLLHUP | POLLERR | POLLNVAL)) return kComErrIo;
    return 0;
}

int Device::waitWritable(double seconds) {
    const int rev = pollOne(fdOf(handle_), POLLOUT, seconds);
    if (rev < 0) return kComErrIo;
    if (rev & (POLLHUP | POLLERR | POLLNVAL)) return kComErrIo;
    if (rev & POLLOUT) return 1;
    return 0;
}

int Device::flushInput() {
    if (tcflush(fdOf(handle_), TCIFLUSH) == 0) return 1;
    return refusedByPty(errno) ? 0 : comErrorFromErrno(errno, Phase::Io);
}

int Device::flushOutput() {
    if (tcflush(fdOf(handle_), TCOFLUSH) != 0 && !refusedByPty(errno))
        return comErrorFromErrno(errno, Phase::Io);
    return 0;
}

void Device::setReadMinimum(int bytes) {
    bytes = std::clamp(bytes, 1, 255);
    if (bytes == readMinimum_) return;
    termios tio{};
    const int fd = fdOf(handle_);
    // Non-canonical mode with no inter-byte timer: poll reports input once VMIN bytes are there
    // (a read of a non-blocking descriptor returns whatever is there).
    if (tcgetattr(fd, &tio) != 0) return;
    tio.c_cc[VMIN] = static_cast<cc_t>(bytes);
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) == 0) readMinimum_ = bytes;
}

int Device::setCtsHandshake(bool on) {
    termios tio{};
    const int fd = fdOf(handle_);
    if (tcgetattr(fd, &tio) != 0)
        return refusedByPty(errno) ? 0 : comErrorFromErrno(errno, Phase::Io);
    if (on)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    if (tcsetattr(fd, TCSANOW, &tio) != 0 && !refusedByPty(errno))
        return comErrorFromErrno(errno, Phase::Io);
    return 0;
}

std::string describeSerialDevice(const std::string& path, const std::string& sysRoot) {
    const QString device = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    if (device.isEmpty()) return {};
    // /sys/class/tty/<name>/device is the port's node in the device tree; the USB interface
    // and the USB device that carry it lie one and two levels above (ttyUSB), or it is the
    // interface itself (ttyACM).
    const QString node = QFileInfo(QString::fromStdString(sysRoot) + "/class/tty/" +
                                   QFileInfo(device).fileName() + "/device")
                             .canonicalFilePath();
    if (node.isEmpty()) return {};
    // The first line of file in the node or up to levels - 1 levels above it.
    const auto firstLine = [&](const char* file, int levels) {
        QDir dir(node);
        for (int up = 0; up < levels; ++up) {
            QFile f(dir.filePath(QString::fromLatin1(file)));
            if (f.open(QIODevice::ReadOnly)) {
                const QString text = QString::fromUtf8(f.readLine()).trimmed();
                if (!text.isEmpty()) return text;
            }
            if (!dir.cdUp()) break;
        }
        return QString();
    };
    QString about;
    for (const char* file : {"product", "interface", "manufacturer"})
        if (about = firstLine(file, 4); !about.isEmpty()) break;
    // An adapter that collects received bytes until its timer runs out shows the timer on its
    // port node or the interface above it (1 while the port is in low-latency mode).
    bool isNumber = false;
    const int latency = firstLine("latency_timer", 2).toInt(&isNumber);
    if (isNumber && latency > 0)
        about += (about.isEmpty() ? QString() : QStringLiteral(", ")) +
                 QStringLiteral("latency %1 ms").arg(latency);
    return about.toStdString();
}

std::vector<std::string> listSerialDevices() {
    std::vector<std::string> paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths.push_back(info.systemLocation().toStdString());
    sortIntoPortOrder(paths);
    return paths;
}

} // namespace serial_detail
