#include "fuzz/fuzz_program.h"

#include "bench/support/bare_line.h"
#include "tests/harness/program.h"

#include <QApplication>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace fuzz {

namespace {

// The line the program runs on; its start-up answered by the harness.
std::unique_ptr<bench::BareLine> line;

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
    op::UseOffscreenPlatform();
    static int argc = 1;
    static char name[] = "evok-fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    line = std::make_unique<bench::BareLine>();
    if (const std::string why = line->StartProgram(); !why.empty())
        Fail("the program did not start on the line: %s", why.c_str());
    DrainLine();
}

void DrainLine() {
    if (line) line->Drain();
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
