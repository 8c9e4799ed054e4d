// Fuzz target: the parameter-file loader, as the operator uses it (Get with the file as target:
// the dialog answers with a file holding the input's bytes).
//
// Invariants: a file whose first 32 words are unsigned 32-bit decimal numbers loads words 1-15
// into the parameters (low 16 bits each) and nothing else; any other file is rejected with the
// status text and leaves every parameter as it was.
#include "fuzz/fuzz_program.h"
#include "fuzz/reference_numbers.h"

#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "params/paramset.h"
#include "params/transfer.h"
#include "runtime/files.h"
#include "runtime/panel.h"
#include "runtime/testing.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

using namespace evok;

namespace {

constexpr const char* kRejected = kTextParaFileNotLoaded;
constexpr const char* kBefore = "fuzz: before the load";

std::array<unsigned short*, 15> parameters() {
    return {&powerA, &thd1,     &thd2,     &triglvlA, &deltaT,  &polarity, &hold,   &average,
            &hwmode, &evalmode, &trigmode, &outmode,  &anamode, &sdelay,   &maxmode};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartProgram();
    // Values the file cannot all produce by chance: each differs from its neighbours.
    const auto params = parameters();
    for (std::size_t i = 0; i < params.size(); ++i)
        *params[i] = static_cast<unsigned short>(0xBE00 + 7 * i);
    ShowStatus(kBefore);

    const std::string& path = fuzz::WriteScratchFile(data, size);
    QueueFileSelectAnswer(1, path);
    ReadParaFromFile();
    FUZZ_CHECK(PendingFileSelectAnswers() == 0, "the loader did not ask for the file");

    // What the file must give.
    const auto words = fuzz::Words(std::string_view(reinterpret_cast<const char*>(data), size));
    std::array<std::uint64_t, kParaFileValues> values{};
    bool valid = words.size() >= static_cast<std::size_t>(kParaFileValues);
    for (int i = 0; valid && i < kParaFileValues; ++i) {
        const std::string_view word = words[static_cast<std::size_t>(i)];
        valid = word.size() <= kMaxNumberText && fuzz::UnsignedWord(word, 0xFFFFFFFFu, values[i]);
    }

    char status[256] = {};
    GetCtrlVal(panelHandle, PANEL_STATUS, status, sizeof status);
    if (valid) {
        FUZZ_CHECK(std::strcmp(status, kBefore) == 0, "a good file was reported: \"%s\"", status);
        for (std::size_t i = 0; i < params.size(); ++i)
            FUZZ_CHECK(*params[i] == (values[i + 1] & 0xFFFF), "parameter %zu = %u, file word %llu",
                       i + 1, *params[i], static_cast<unsigned long long>(values[i + 1]));
    } else {
        FUZZ_CHECK(std::strcmp(status, kRejected) == 0, "a bad file was not rejected: \"%s\"",
                   status);
        for (std::size_t i = 0; i < params.size(); ++i)
            FUZZ_CHECK(*params[i] == 0xBE00 + 7 * i, "a rejected file changed parameter %zu to %u",
                       i + 1, *params[i]);
    }
    return 0;
}
