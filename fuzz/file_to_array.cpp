// Fuzz target: FileToArray, the array-file reader of the file service.
//
// Input: byte 0 chooses the element type (0 char, 1 double, 2 unsigned 16-bit, 3 unsigned
// 32-bit) and the file type (bit 2: raw bytes instead of decimal text), byte 1 the element count
// (0-99); the rest is the file.
//
// Invariants: the call writes nothing outside the array (it has exactly count elements); it
// succeeds or reports a format error, and a format error leaves the array untouched; raw bytes
// come back as they are; decimal text gives exactly the numbers of an independent reading (for
// double: where the word is a plain decimal number).
#include "fuzz/fuzz_program.h"
#include "fuzz/reference_numbers.h"

#include "runtime/files.h"
#include "runtime/panel.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr int kTypes[4] = {kTypeChar, kTypeDouble, kTypeUShort, kTypeUInt};
constexpr std::size_t kSizes[4] = {1, sizeof(double), 2, 4};
constexpr unsigned char kUntouched = 0xC3;

// A plain decimal number: [+-]digits[.digits][(e|E)[+-]digits], with digits on at least one side
// of the point.
bool plainDecimal(std::string_view w) {
    std::size_t i = 0;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < w.size() && w[i] >= '0' && w[i] <= '9')
        ++i, ++digits;
    if (i < w.size() && w[i] == '.') {
        ++i;
        while (i < w.size() && w[i] >= '0' && w[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
        std::size_t exp = 0;
        while (i < w.size() && w[i] >= '0' && w[i] <= '9')
            ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == w.size();
}

// -1 unknown (no reference for this word), 0 not a value of the type, 1 a value (in out).
int reference(std::string_view word, int typeIndex, unsigned char* out) {
    if (word.size() > kMaxNumberText) return 0;
    std::uint64_t v = 0;
    switch (typeIndex) {
    case 0: {
        // Characters: -128..255, stored as the low byte.
        std::string_view w = word;
        if (w.size() > 1 && w[0] == '+') w.remove_prefix(1);
        bool negative = false;
        if (!w.empty() && w[0] == '-') {
            negative = true;
            w.remove_prefix(1);
        }
        if (w.empty() || w[0] == '+' || w[0] == '-' || !fuzz::UnsignedWord(w, 255, v)) return 0;
        if (negative && v > 128) return 0;
        out[0] = static_cast<unsigned char>(
            (negative ? -static_cast<long long>(v) : static_cast<long long>(v)) & 0xFF);
        return 1;
    }
    case 1: {
        if (!plainDecimal(word)) return -1;
        const std::string text(word);
        errno = 0;
        const double d = std::strtod(text.c_str(), nullptr);
        if (errno == ERANGE) return -1;
        std::memcpy(out, &d, sizeof d);
        return 1;
    }
    case 2: {
        if (!fuzz::UnsignedWord(word, 0xFFFF, v)) return 0;
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(out, &w, sizeof w);
        return 1;
    }
    default: {
        if (!fuzz::UnsignedWord(word, 0xFFFFFFFFu, v)) return 0;
        const auto w = static_cast<std::uint32_t>(v);
        std::memcpy(out, &w, sizeof w);
        return 1;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int typeIndex = data[0] & 3;
    const int fileType = (data[0] & 4) ? 0 : 1;
    const int count = data[1] % 100;
    const std::uint8_t* content = data + 2;
    const std::size_t contentSize = size - 2;
    const std::size_t elem = kSizes[typeIndex];
    const std::size_t bytes = static_cast<std::size_t>(count) * elem;

    const std::string& path = fuzz::WriteScratchFile(content, contentSize);
    // Exactly count elements: a write past them is a heap overflow.
    std::unique_ptr<unsigned char[]> array(new unsigned char[bytes > 0 ? bytes : 1]);
    std::memset(array.get(), kUntouched, bytes);
    const int result = FileToArray(path.c_str(), bytes > 0 ? array.get() : nullptr,
                                   kTypes[typeIndex], count, 1, 0, 0, fileType);
    // count 0 with no array is a valid call that reads nothing.
    FUZZ_CHECK(result == 0 || result == kFileErrFormat, "unexpected result %d", result);

    if (result == kFileErrFormat) {
        for (std::size_t i = 0; i < bytes; ++i)
            FUZZ_CHECK(array[i] == kUntouched, "a rejected file changed byte %zu", i);
    }

    // The independent reading.
    if (fileType == 0) {
        const bool enough = contentSize >= bytes;
        FUZZ_CHECK((result == 0) == enough, "raw read of %zu bytes from %zu: result %d", bytes,
                   contentSize, result);
        if (enough) FUZZ_CHECK(std::memcmp(array.get(), content, bytes) == 0, "raw bytes differ");
        return 0;
    }
    const auto words =
        fuzz::Words(std::string_view(reinterpret_cast<const char*>(content), contentSize));
    int expected = words.size() >= static_cast<std::size_t>(count) ? 1 : 0; // -1 unknown
    unsigned char value[8];
    for (int i = 0; i < count && expected != 0 && i < static_cast<int>(words.size()); ++i) {
        const int r = reference(words[static_cast<std::size_t>(i)], typeIndex, value);
        if (r == 0) {
            expected = 0;
        } else if (r < 0) {
            expected = -1;
        } else if (result == 0) {
            FUZZ_CHECK(std::memcmp(array.get() + static_cast<std::size_t>(i) * elem, value, elem) ==
                           0,
                       "element %d differs from the word \"%.*s\"", i,
                       static_cast<int>(words[static_cast<std::size_t>(i)].size()),
                       words[static_cast<std::size_t>(i)].data());
        }
    }
    if (expected == 1) FUZZ_CHECK(result == 0, "a good file was rejected");
    if (expected == 0) FUZZ_CHECK(result == kFileErrFormat, "a bad file was accepted");
    return 0;
}
