// An independent reading of decimal number files for the fuzz targets to compare against: words
// separated by white space, each an unsigned decimal number (one leading '+' allowed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The file's words, in order.
inline std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !isBlank(text[pos]))
            ++pos;
        if (pos > start) out.push_back(text.substr(start, pos - start));
    }
    return out;
}

// The word as an unsigned decimal number no larger than max; false when it is not one.
inline bool UnsignedWord(std::string_view word, std::uint64_t max, std::uint64_t& value) {
    if (word.size() > 1 && word[0] == '+') word.remove_prefix(1);
    if (word.empty()) return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max) return false;
    }
    return true;
}

} // namespace fuzz
