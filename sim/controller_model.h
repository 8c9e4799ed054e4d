// The simulated controller: RAM and EEPROM parameter pages, the firmware text, the measurement
// source, the delta-T ring buffer and the flash information block, answering every order code.
// Thread-safe: the line thread calls handle() while tests read and change the state.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"
#include "sim/signal_model.h"

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// A parameter page as it travels: word 0 the page number, words 1 to 15 the values.
using ParamPage = std::array<std::uint16_t, kFrameWords>;
// The fifteen parameters of page 0 (powerA, thd1, thd2, triglvlA, deltaT, polarity, hold,
// average, hwmode, evalmode, trigmode, outmode, anamode, sdelay, maxmode).
using Parameters = std::array<std::uint16_t, 15>;

inline constexpr std::size_t kRingValues = 255;
inline constexpr std::size_t kDataArrayWords = 256;

struct RingBuffer {
    std::array<std::uint16_t, kRingValues> values{};
    // Where the next measurement's delta-T goes (0..254); the entry written last is index - 1,
    // wrapping to 254.
    std::uint16_t index = 0;
    bool operator==(const RingBuffer&) const = default;
};

// One request frame as the line delivered it.
struct RequestRecord {
    Bytes bytes; // the 36 bytes
    std::uint16_t order = 0;
    Clock::time_point firstByte; // when its first byte was read from the line
    Clock::time_point arrival;   // when its last byte was complete on the (paced) line
};

class ControllerModel {
public:
    static constexpr const char* kDefaultFirmware = "EVOK-VX12 SIM FW 2.07";

    struct Options {
        std::uint64_t seed = 1;
        std::string firmware = kDefaultFirmware;
        // When set, the EEPROM pages are loaded from this file at start (RAM then starts as a copy
        // of them, as after power-up) and saved to it after every EEPROM write.
        std::string eepromFile;
        // The request log keeps the newest this many requests, so that a long demonstration
        // run does not grow without bound.
        std::size_t requestLogLimit = 65536;
    };

    // Values a controller fresh from the factory holds; reset (order 10) restores them in RAM.
    static Parameters factoryDefaults();
    // Values the simulator starts with (RAM and EEPROM, unless an EEPROM file is loaded). They
    // differ from the factory defaults in most words so that a test can tell where values came
    // from: 520, 880, 620, 940, 64, 1, 120, 16, 1, 0, 0, 1, 0, 450, 0.
    static Parameters startValues();
    // Page 1 (extended parameters, opaque to the operator program) at start.
    static ParamPage startPage1();

    ControllerModel();
    explicit ControllerModel(Options options);

    // Answers one request frame (36 bytes starting with the sync word) and records it. Returns
    // the reply bytes: a 36-byte frame, the 64-byte firmware reply or a 128-byte data block;
    // empty when the order gets no reply (1, 3, unknown codes).
    Bytes handle(std::span<const std::uint8_t> frame, Clock::time_point firstByte,
                 Clock::time_point arrival);
    Bytes handle(std::span<const std::uint8_t> frame);
    // Records a request that is not answered (muted line); the state does not change.
    void recordOnly(std::span<const std::uint8_t> frame, Clock::time_point firstByte,
                    Clock::time_point arrival);

    // Parameter pages 0 and 1 (word 0 is the page number). Other page numbers throw
    // std::out_of_range. setEepromPage saves the file when one is configured.
    ParamPage ramPage(unsigned page) const;
    void setRamPage(unsigned page, const ParamPage& words);
    ParamPage eepromPage(unsigned page) const;
    void setEepromPage(unsigned page, const ParamPage& words);
    Parameters ramParameters() const;
    Parameters eepromParameters() const;

    std::string firmware() const;
    // Cut to 32 characters, the most the reply can carry.
    void setFirmware(const std::string& text);

    RingBuffer ring() const;
    void setRing(const RingBuffer& ring); // an index above 254 is taken modulo 255

    // Every following measurement frame carries `m` (its delta-T still goes into the ring) until
    // unfreeze().
    void freezeMeasurement(const Measurement& m);
    // Only the next measurement frame carries `m`; later ones follow the signal model again.
    void setNextMeasurement(const Measurement& m);
    void unfreeze();
    // What the sensor sees now: the frozen measurement, else the one sent last, else the one
    // that would be sent next.
    Measurement currentMeasurement() const;
    std::uint64_t measurementCount() const;

    // The 256 words that data blocks are cut from, for data source 0 (raw curve in words 0-127,
    // rest 0), 1 (normalised curve, rest 0), 2 (ring values in words 0-254, index in word 255);
    // all zeros for any other source. Curves belong to the current measurement.
    std::array<std::uint16_t, kDataArrayWords> dataArray(std::uint16_t source) const;

    // Words 0 and 1 of the last order-20 request, and how many were received.
    std::array<std::uint16_t, 2> infoBlock() const;
    unsigned infoBlockWrites() const;

    // The logged requests, oldest first, and how many there are.
    // The logged requests, oldest first.
    std::vector<RequestRecord> requests() const;
    std::size_t requestCount() const;
    void clearRequests();

    // EEPROM file state: whether the pages came from the file, and the last load/save problem
    // (empty when none).
    bool eepromLoadedFromFile() const;
    std::string eepromFileError() const;

private:
    using Lock = std::lock_guard<std::mutex>;
    Measurement currentLocked() const;
    std::array<std::uint16_t, kDataArrayWords> dataArrayLocked(std::uint16_t source) const;
    void saveEepromLocked();
    bool loadEepromLocked();
    static Bytes ack(const Frame& request);
    void logLocked(std::span<const std::uint8_t> frame, std::uint16_t order,
                   Clock::time_point firstByte, Clock::time_point arrival);

    mutable std::mutex mu_;
    Options options_;
    std::array<ParamPage, 2> ram_{};
    std::array<ParamPage, 2> eeprom_{};
    std::string firmware_;
    RingBuffer ring_;
    SignalModel signal_;
    std::optional<Measurement> frozen_;
    std::optional<Measurement> nextOnce_;
    std::optional<Measurement> last_;
    std::uint64_t measurements_ = 0;
    std::array<std::uint16_t, 2> info_{};
    unsigned infoWrites_ = 0;
    std::deque<RequestRecord> log_;
    bool eepromLoaded_ = false;
    std::string eepromError_;
};

} // namespace sim
