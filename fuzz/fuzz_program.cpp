#include "fuzz/fuzz_program.h"

#include "app/shell.h"
#include "link/com232.h"
#include "sim/frame.h"
#include "sim/pty.h"

#include <QApplication>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace fuzz {

namespace {

std::unique_ptr<sim::Pty> line;

// Reads exactly n bytes from fd, waiting at most 5 s for each part. False on time-out or error.
bool readExactly(int fd, std::uint8_t* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        const ssize_t r = ::read(fd, out + got, n - got);
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (r <= 0) return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool writeAll(int fd, const sim::Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

// The controller's side of the start-up: the echo, the two parameter pages, the firmware text.
// Ends after the firmware reply.
void answerStartUp(int fd) {
    for (;;) {
        std::uint8_t request[sim::kFrameBytes];
        if (!readExactly(fd, request, sizeof request)) return;
        const sim::Frame frame = sim::decodeFrame(request);
        sim::FrameWords words{};
        switch (frame.order) {
        case sim::kOrderEcho:
            words[0] = sim::kAckWord;
            writeAll(fd, sim::encodeFrame(sim::kOrderEcho, words));
            break;
        case sim::kOrderReadRam:
        case sim::kOrderReadEeprom:
            words[0] = frame.words[0]; // the page
            for (std::size_t i = 1; i < words.size(); ++i)
                words[i] = static_cast<std::uint16_t>(100 * i);
            writeAll(fd, sim::encodeFrame(sim::kOrderReadRam, words));
            break;
        case sim::kOrderFirmware:
            writeAll(fd, sim::encodeFirmwareText("FUZZ LINE PEER"));
            return;
        default:
            break;
        }
    }
}

} // namespace

void Fail(const char* format, ...) {
    std::fputs("fuzz invariant broken: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

void StartProgram() {
    static bool started = false;
    if (started) return;
    started = true;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "evok-fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process

    line = std::make_unique<sim::Pty>();
    setenv("EVOK_COM1", line->slavePath().c_str(), 1);
    std::thread peer(answerStartUp, line->masterFd());
    const int result = evok::StartUp();
    peer.join();
    if (result != 0) Fail("the program did not start (StartUp returned %d)", result);
    if (std::strcmp(evok::szVersion, "FUZZ LINE PEER") != 0)
        Fail("the start-up did not complete on the line (firmware text \"%s\")", evok::szVersion);
    ::fcntl(line->masterFd(), F_SETFL, ::fcntl(line->masterFd(), F_GETFL) | O_NONBLOCK);
    DrainLine();
}

void DrainLine() {
    if (!line) return;
    std::uint8_t scratch[4096];
    while (::read(line->masterFd(), scratch, sizeof scratch) > 0) {
    }
}

namespace {

void removeScratchFile();

// In memory where the system offers it: the file is rewritten for every input.
const std::string& scratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string base = dir && *dir ? dir : "/tmp";
        if (!(dir && *dir) && ::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
        std::atexit(removeScratchFile);
        return base + "/evok-fuzz-" + std::to_string(::getpid()) + ".cfg";
    }();
    return path;
}

void removeScratchFile() {
    ::unlink(scratchPath().c_str());
}

} // namespace

const std::string& WriteScratchFile(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail("cannot write the scratch file %s", path.c_str());
    if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("short write to %s", path.c_str());
    std::fclose(f);
    return path;
}

} // namespace fuzz
