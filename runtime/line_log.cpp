#include "runtime/line_log.h"

#include "runtime/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
std::FILE* logFile = nullptr;
} // namespace

int OpenLineLog(const char* environmentVariable) {
    CloseLineLog();
    const char* path = std::getenv(environmentVariable);
    if (!path || !*path) return 0;
    logFile = std::fopen(path, "w");
    if (!logFile) {
        // The program has no other channel for this: the status line belongs to the controller.
        std::fprintf(stderr, "evok-vx12-trace-watch: cannot write %s (%s): %s\n", path,
                     environmentVariable, std::strerror(errno));
        return kFileErrOpen;
    }
    // Line-buffered: every line goes to the system as it ends.
    std::setvbuf(logFile, nullptr, _IOLBF, 1024);
    return 1;
}

void WriteLineLog(const char* text) {
    if (!logFile) return;
    std::fputs(text, logFile);
    std::fputc('\n', logFile);
}

void CloseLineLog() {
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}
