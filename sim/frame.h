// The controller's wire formats: the 36-byte frame (sync word, order word, 16 data words) and the
// two replies without header (64-byte firmware text, 128-byte data block). Every 16-bit field is
// sent high byte first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kFrameWords = 16;
inline constexpr std::size_t kFrameBytes = 4 + 2 * kFrameWords; // 36
inline constexpr std::size_t kFirmwareWords = 32;
inline constexpr std::size_t kFirmwareBytes = 2 * kFirmwareWords; // 64
inline constexpr std::size_t kBlockWords = 64;
inline constexpr std::size_t kBlockBytes = 2 * kBlockWords; // 128
inline constexpr std::uint8_t kSyncHigh = 0x00;
inline constexpr std::uint8_t kSyncLow = 0x55;
inline constexpr std::uint16_t kSyncWord = 0x0055;
// Data word 0 of an accepted echo, command or information-block frame.
inline constexpr std::uint16_t kAckWord = 0x00AA;

// Order codes the controller knows.
inline constexpr std::uint16_t kOrderWriteRam = 1;
inline constexpr std::uint16_t kOrderReadRam = 2;
inline constexpr std::uint16_t kOrderWriteEeprom = 3;
inline constexpr std::uint16_t kOrderReadEeprom = 4;
inline constexpr std::uint16_t kOrderEcho = 5;
inline constexpr std::uint16_t kOrderTeach = 6;
inline constexpr std::uint16_t kOrderFirmware = 7;
inline constexpr std::uint16_t kOrderMeasure = 8;
inline constexpr std::uint16_t kOrderDataBlock = 9;
inline constexpr std::uint16_t kOrderReset = 10;
inline constexpr std::uint16_t kOrderRefresh = 11;
inline constexpr std::uint16_t kOrderInfoBlock = 20;

using FrameWords = std::array<std::uint16_t, kFrameWords>;

struct Frame {
    std::uint16_t sync = kSyncWord;
    std::uint16_t order = 0;
    FrameWords words{};
    bool operator==(const Frame&) const = default;
};

// 36 bytes: sync, order, words.
Bytes encodeFrame(const Frame& frame);
Bytes encodeFrame(std::uint16_t order, const FrameWords& words);
// Decodes the first 36 bytes; the sync word is returned as found, not checked. Throws
// std::invalid_argument when fewer than 36 bytes are given.
Frame decodeFrame(std::span<const std::uint8_t> bytes);

// Big-endian words without header (firmware and data-block replies).
Bytes encodeWords(std::span<const std::uint16_t> words);

// 64-byte firmware reply: character i in the low byte of word i, high bytes 0, the rest of the
// 32 words 0. A text longer than 32 characters is cut to 32.
Bytes encodeFirmwareText(std::string_view text);

// "00 55 00 05 ..." for logs.
std::string hexString(std::span<const std::uint8_t> bytes, std::size_t maxBytes = 160);

} // namespace sim
