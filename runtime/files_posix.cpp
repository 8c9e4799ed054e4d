// File service on POSIX.
#include "runtime/files_platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace files_detail {

int unlinkFile(const char* path) {
    return ::unlink(path) == 0 ? 0 : errno;
}

void ignoreFileSizeSignal() {
    static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignored;
}

std::string programPath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace files_detail
