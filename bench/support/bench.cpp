#include "bench/support/bench.h"

#include "sim/frame.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

namespace {

std::string SelfPath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) throw std::runtime_error("cannot find the benchmark program's own path");
    path[n] = '\0';
    return path;
}

} // namespace

void UseOffscreenPlatform() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen && *chosen) return;
    char path[] = "/tmp/evok-bench-screen-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        op::UseOffscreenPlatform();
        return;
    }
    static const char kScreen[] = R"({"screens": [{"name": "bench", "x": 0, "y": 0, )"
                                  R"("width": 1920, "height": 1080, "logicalDpi": 96, )"
                                  R"("logicalBaseDpi": 96, "dpr": 1}]})";
    const bool written = write(fd, kScreen, sizeof kScreen - 1) == sizeof kScreen - 1;
    close(fd);
    if (!written) {
        op::UseOffscreenPlatform();
        return;
    }
    setenv("QT_QPA_PLATFORM", (std::string("offscreen:configfile=") + path).c_str(), 1);
    // The benchmark's child processes read it as they start; it goes when the benchmark ends.
    static std::string file;
    file = path;
    std::atexit([] { unlink(file.c_str()); });
}

double MillisecondWaitLoopShare(double seconds) {
    const Usage from = TakeUsage();
    const timespec limit{0, 1000000};
    while (Now() - from.wall < seconds)
        ppoll(nullptr, 0, &limit, nullptr);
    return CpuShare(from, TakeUsage());
}

double BareClientFrameRate(const std::string& device, double seconds) {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    // A reply still under way to the program that had the line before is not ours: let it come,
    // then drop it, so that every reply read below answers the request just written.
    usleep(100000);
    tcflush(fd, TCIFLUSH);
    const sim::Bytes request = sim::encodeFrame(sim::kOrderMeasure, sim::FrameWords{});
    const auto exchange = [&]() {
        if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return false;
        unsigned char reply[sim::kFrameBytes];
        for (std::size_t got = 0; got < sizeof reply;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return false;
            const ssize_t n = read(fd, reply + got, sizeof reply - got);
            if (n <= 0) return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    };
    bool ok = exchange(); // the first one starts from an idle line
    const double start = Now();
    long frames = 0;
    while (ok && Now() - start < seconds) {
        ok = exchange();
        frames += ok ? 1 : 0;
    }
    const double rate = frames / (Now() - start);
    close(fd);
    return ok ? rate : -1;
}

std::string ProgramDirectory() {
    const std::string self = SelfPath();
    const auto slash = self.find_last_of('/');
    return slash == std::string::npos ? "." : self.substr(0, slash);
}

// ---------------------------------------------------------------------------------------------

SimProcess::SimProcess(bool paced, const sim::LineModel& line) {
    const std::string sim = ProgramDirectory() + "/evok-vx12-sim";
    if (access(sim.c_str(), X_OK) != 0)
        throw std::runtime_error("no simulator at " + sim + " (build evok-vx12-sim)");
    const char* tmp = std::getenv("TMPDIR");
    link_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/evok-bench-com-" +
            std::to_string(getpid()) + "-" + std::to_string(static_cast<long>(Now() * 1e6));
    std::vector<std::string> args = {sim, "--link", link_};
    if (!paced) args.push_back("--no-pacing");
    switch (line.kind) {
    case sim::LineKind::Pty:
        break;
    case sim::LineKind::Uart:
        args.insert(args.end(), {"--line", "uart"});
        break;
    case sim::LineKind::LatencyTimer:
        args.insert(args.end(), {"--line", "latency:" + std::to_string(std::lround(line.timerMs))});
        break;
    case sim::LineKind::SmallPacket:
        args.insert(args.end(), {"--line", "packet"});
        break;
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        // Its greeting line is of no use here; its errors are.
        if (FILE* null = std::freopen("/dev/null", "w", stdout); !null) _exit(127);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const double end = Now() + 5.0;
    struct stat st {};
    while (lstat(link_.c_str(), &st) != 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the simulator ended before its device was there");
        }
        if (Now() > end) throw std::runtime_error("the simulator's device did not appear");
        usleep(5000);
    }
}

SimProcess::~SimProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

// ---------------------------------------------------------------------------------------------

ChildRun RunChild(const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> all = {SelfPath()};
    all.insert(all.end(), args.begin(), args.end());
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::fflush(stdout);
    std::fflush(stderr);
    ChildRun run;
    run.spawnedAt = Now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        close(out[0]);
        if (dup2(out[1], STDOUT_FILENO) < 0) _exit(127);
        close(out[1]);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        if (!(fields >> key)) continue;
        std::vector<double> values;
        double v;
        while (fields >> v)
            values.push_back(v);
        run.report[key] = values;
    }
    return run;
}

void Report1(const std::string& key, const std::vector<double>& values) {
    std::printf("%s", key.c_str());
    for (double v : values)
        std::printf(" %.9g", v);
    std::printf("\n");
    std::fflush(stdout);
}

double Value(const Report& report, const std::string& key, double fallback) {
    const auto it = report.find(key);
    return it == report.end() || it->second.empty() ? fallback : it->second.front();
}

RunWindow ReadRunWindow(const ChildRun& run) {
    RunWindow w;
    w.wall = Value(run.report, "wall", 0);
    if (run.exitCode != 0 || w.wall <= 0) {
        w.why = "program run failed";
    } else if (Value(run.report, "timed_out", 0) != 0) {
        w.why = "line timed out";
    } else {
        w.ok = true;
        // Frames over the time from the window's first frame to its last.
        const double frameWall = Value(run.report, "frame_wall", 0);
        w.fps = Value(run.report, "frames") / (frameWall > 0 ? frameWall : w.wall);
        w.cpuShare = Value(run.report, "cpu") / w.wall;
    }
    return w;
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(q * static_cast<double>(values.size()));
    const auto index = static_cast<std::size_t>(std::clamp(rank, 1.0, double(values.size())));
    return values[index - 1];
}

double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

// ---------------------------------------------------------------------------------------------

void Table::row(const std::string& measure, const std::string& value) {
    rows_.push_back({measure, value, "-", "-"});
}

void Table::row(const std::string& measure, const std::string& value, const std::string& goal,
                bool met) {
    rows_.push_back({measure, value, goal, met ? "yes" : "no"});
    if (!met) ++missed_;
}

void Table::failed(const std::string& measure, const std::string& why, const std::string& goal) {
    rows_.push_back({measure, why, goal.empty() ? "-" : goal, goal.empty() ? "-" : "no"});
    if (!goal.empty()) ++missed_;
}

void Table::print() const {
    const std::vector<std::string> head = {"measure", "value", "goal", "met"};
    std::size_t width[4];
    for (std::size_t c = 0; c < 4; ++c) {
        width[c] = head[c].size();
        for (const auto& r : rows_)
            width[c] = std::max(width[c], r[c].size());
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t c = 0; c < 4; ++c) {
            std::string cell = cells[c];
            if (c < 3) cell.resize(width[c] + 2, ' ');
            out += cell;
        }
        std::printf("%s\n", out.c_str());
    };
    std::printf("%s\n", title_.c_str());
    line(head);
    std::size_t total = width[0] + width[1] + width[2] + width[3] + 6;
    std::printf("%s\n", std::string(total, '-').c_str());
    for (const auto& r : rows_)
        line(r);
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char buf[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

bool ParseTimedArgs(int argc, char** argv, const char* name, double* seconds, bool* child) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--child")) {
            *child = true;
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            *seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", name);
            return false;
        }
    }
    if (!(*seconds > 0)) *seconds = 10;
    return true;
}

} // namespace bench
