// Support shared by the fuzz targets: the operator program started offscreen on a bare
// pseudo-terminal by the program harness, the far end of that line, a scratch file, and the
// failure report that ends a run when an invariant does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Starts the GUI run-time (offscreen unless a platform is chosen) and the operator program on
// port 1 = a fresh pseudo-terminal, its start-up answered by the harness. Runs once per process;
// later calls return at once. A start-up that fails ends the process.
void StartProgram();

// Reads and discards whatever the program has written to the line so far.
void DrainLine();

// Replaces the scratch file's content with the bytes and returns its path (one file per process).
const std::string& WriteScratchFile(const std::uint8_t* data, std::size_t size);

// Reports a broken invariant and aborts, so that the fuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace fuzz

#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) ::fuzz::Fail(__VA_ARGS__);                                                    \
    } while (0)
