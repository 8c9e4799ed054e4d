#include "serial_client.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace simtest {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

int msUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>((left.count() + 999) / 1000);
}

} // namespace

SerialClient::SerialClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) fail("open " + path);
    termios tio{};
    if (tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

SerialClient SerialClient::adopt(int fd) {
    SerialClient c;
    c.fd_ = fd;
    return c;
}

SerialClient::SerialClient(SerialClient&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

SerialClient::~SerialClient() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<Clock::time_point> SerialClient::write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        done += static_cast<std::size_t>(n);
    }
    return Clock::now();
}

Received SerialClient::read(std::size_t count, double timeoutSeconds) {
    Received r;
    const auto deadline = Clock::now() + sim::seconds(timeoutSeconds);
    while (r.bytes.size() < count) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, msUntil(deadline));
        if (ready <= 0 && Clock::now() >= deadline) break;
        if (ready <= 0) continue;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - r.bytes.size()));
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            r.hungUp = true;
            break;
        }
        r.chunkTimes.push_back(Clock::now());
        r.chunkSizes.push_back(static_cast<std::size_t>(n));
        r.bytes.insert(r.bytes.end(), buf, buf + n);
    }
    return r;
}

Received SerialClient::readUntilQuiet(double firstByteSeconds, double quietSeconds) {
    Received r;
    auto deadline = Clock::now() + sim::seconds(firstByteSeconds);
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, msUntil(deadline));
        if (ready <= 0 && Clock::now() >= deadline) break;
        if (ready <= 0) continue;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            r.hungUp = true;
            break;
        }
        r.chunkTimes.push_back(Clock::now());
        r.chunkSizes.push_back(static_cast<std::size_t>(n));
        r.bytes.insert(r.bytes.end(), buf, buf + n);
        deadline = Clock::now() + sim::seconds(quietSeconds);
    }
    return r;
}

void SerialClient::flushInput() {
    tcflush(fd_, TCIFLUSH);
}

Bytes frame(std::uint16_t order, std::vector<std::uint16_t> w) {
    w.resize(16, 0);
    Bytes out{0x00, 0x55, static_cast<std::uint8_t>(order >> 8),
              static_cast<std::uint8_t>(order & 0xFF)};
    for (std::uint16_t x : w) {
        out.push_back(static_cast<std::uint8_t>(x >> 8));
        out.push_back(static_cast<std::uint8_t>(x & 0xFF));
    }
    return out;
}

std::vector<std::uint16_t> words(const Bytes& bytes) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]));
    return out;
}

std::string programPath(const std::string& name) {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path() / name).string();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe2");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        errno = rc;
        fail("spawn " + program);
    }
    pid_ = pid;
    out_ = fds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

std::optional<std::string> ChildProcess::readLine(double timeoutSeconds) {
    const auto deadline = Clock::now() + sim::seconds(timeoutSeconds);
    for (;;) {
        if (const auto nl = buffered_.find('\n'); nl != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return line;
        }
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, msUntil(deadline)) <= 0) return std::nullopt;
        char buf[512];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        buffered_.append(buf, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::readAll(double timeoutSeconds) {
    const auto deadline = Clock::now() + sim::seconds(timeoutSeconds);
    for (;;) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, msUntil(deadline)) <= 0) break;
        char buf[512];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) break;
        buffered_.append(buf, static_cast<std::size_t>(n));
    }
    return std::exchange(buffered_, {});
}

void ChildProcess::signal(int sig) {
    if (pid_ > 0 && !exited_) kill(pid_, sig);
}

std::optional<int> ChildProcess::wait(double timeoutSeconds) {
    const auto deadline = Clock::now() + sim::seconds(timeoutSeconds);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return -WTERMSIG(status);
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace simtest
