#include "sim/pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

void makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string("pty: ") + what + ": " + std::strerror(errno));
}

} // namespace

Pty::Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) fail("unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) fail("ptsname");
    slavePath_ = name;
    slaveKeep_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) fail("open slave");
    makeRaw(slaveKeep_);
    makeRaw(master_);
}

Pty::~Pty() {
    hangUp();
}

void Pty::hangUp() {
    if (slaveKeep_ >= 0) close(slaveKeep_);
    if (master_ >= 0) close(master_);
    slaveKeep_ = master_ = -1;
}

} // namespace sim
