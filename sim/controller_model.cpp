#include "sim/controller_model.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sim {

namespace {

ParamPage pageOf(std::uint16_t number, const Parameters& p) {
    ParamPage page{};
    page[0] = number;
    std::copy(p.begin(), p.end(), page.begin() + 1);
    return page;
}

void checkPage(unsigned page) {
    if (page > 1) throw std::out_of_range("parameter page must be 0 or 1");
}

} // namespace

Parameters ControllerModel::factoryDefaults() {
    return {500, 900, 600, 950, 0, 1, 100, 8, 1, 0, 0, 0, 0, 500, 0};
}

Parameters ControllerModel::startValues() {
    return {520, 880, 620, 940, 64, 1, 120, 16, 1, 0, 0, 1, 0, 450, 0};
}

ParamPage ControllerModel::startPage1() {
    return {1, 16, 2, 300, 0, 1, 250, 4, 0, 1, 0, 700, 0, 3, 12, 0};
}

ControllerModel::ControllerModel() : ControllerModel(Options{}) {}

ControllerModel::ControllerModel(Options options)
    : options_(std::move(options)), signal_(options_.seed) {
    setFirmware(options_.firmware);
    eeprom_[0] = pageOf(0, startValues());
    eeprom_[1] = startPage1();
    if (!options_.eepromFile.empty()) eepromLoaded_ = loadEepromLocked();
    ram_ = eeprom_; // power-up: RAM takes the EEPROM content
    // The controller has been running before anyone connects: the ring holds a full history.
    for (std::size_t i = 0; i < kRingValues; ++i)
        ring_.values[i] = signal_.next().dt;
    ring_.index = 0;
}

Bytes ControllerModel::ack(const Frame& request) {
    FrameWords words = request.words;
    words[0] = kAckWord;
    return encodeFrame(request.order, words);
}

Bytes ControllerModel::handle(std::span<const std::uint8_t> frame) {
    const auto now = Clock::now();
    return handle(frame, now, now);
}

void ControllerModel::recordOnly(std::span<const std::uint8_t> frame, Clock::time_point firstByte,
                                 Clock::time_point arrival) {
    const Frame req = decodeFrame(frame);
    Lock lock(mu_);
    logLocked(frame, req.order, firstByte, arrival);
}

void ControllerModel::logLocked(std::span<const std::uint8_t> frame, std::uint16_t order,
                                Clock::time_point firstByte, Clock::time_point arrival) {
    log_.push_back({Bytes(frame.begin(), frame.begin() + kFrameBytes), order, firstByte, arrival});
    while (log_.size() > std::max<std::size_t>(options_.requestLogLimit, 1))
        log_.pop_front();
}

Bytes ControllerModel::handle(std::span<const std::uint8_t> frame, Clock::time_point firstByte,
                              Clock::time_point arrival) {
    const Frame req = decodeFrame(frame);
    Lock lock(mu_);
    logLocked(frame, req.order, firstByte, arrival);
    const std::uint16_t page = req.words[0];

    switch (req.order) {
    case kOrderWriteRam:
    case kOrderWriteEeprom: {
        if (page > 1) return {}; // no such page: ignored
        auto& target = req.order == kOrderWriteRam ? ram_ : eeprom_;
        target[page] = req.words;
        if (req.order == kOrderWriteEeprom) saveEepromLocked();
        return {};
    }
    case kOrderReadRam:
    case kOrderReadEeprom: {
        FrameWords words{};
        if (page <= 1) words = (req.order == kOrderReadRam ? ram_ : eeprom_)[page];
        words[0] = page;
        return encodeFrame(req.order, words);
    }
    case kOrderEcho:
        return ack(req);
    case kOrderTeach:
        // The present signal level becomes the new trigger reference (triglvlA, word 4).
        ram_[0][4] = currentLocked().valNorm;
        return ack(req);
    case kOrderReset: {
        ram_[0] = pageOf(0, factoryDefaults());
        ram_[1] = FrameWords{};
        ram_[1][0] = 1;
        return ack(req);
    }
    case kOrderRefresh:
        ram_ = eeprom_;
        return ack(req);
    case kOrderFirmware:
        return encodeFirmwareText(firmware_);
    case kOrderMeasure: {
        Measurement m;
        if (nextOnce_) {
            m = *nextOnce_;
            nextOnce_.reset();
        } else if (frozen_) {
            m = *frozen_;
        } else {
            m = signal_.next();
        }
        last_ = m;
        ++measurements_;
        ring_.values[ring_.index] = m.dt;
        ring_.index = static_cast<std::uint16_t>((ring_.index + 1) % kRingValues);
        return encodeFrame(kOrderMeasure, m.toWords());
    }
    case kOrderDataBlock: {
        const auto all = dataArrayLocked(req.words[1]);
        // Offsets other than 0/64/128/192 still give 64 consecutive words, the window kept
        // inside the array.
        const std::size_t start =
            std::min<std::size_t>(req.words[0], kDataArrayWords - kBlockWords);
        return encodeWords(std::span(all).subspan(start, kBlockWords));
    }
    case kOrderInfoBlock:
        info_ = {req.words[0], req.words[1]};
        ++infoWrites_;
        return ack(req);
    default:
        return {};
    }
}

Measurement ControllerModel::currentLocked() const {
    if (frozen_) return *frozen_;
    if (last_) return *last_;
    if (nextOnce_) return *nextOnce_;
    return signal_.peek();
}

std::array<std::uint16_t, kDataArrayWords>
ControllerModel::dataArrayLocked(std::uint16_t source) const {
    std::array<std::uint16_t, kDataArrayWords> out{};
    if (source == 0 || source == 1) {
        Curve c = signal_.rawCurve(currentLocked(), measurements_);
        if (source == 1) c = SignalModel::normalise(c);
        std::copy(c.begin(), c.end(), out.begin());
    } else if (source == 2) {
        std::copy(ring_.values.begin(), ring_.values.end(), out.begin());
        out[kRingValues] = ring_.index;
    }
    return out;
}

ParamPage ControllerModel::ramPage(unsigned page) const {
    checkPage(page);
    Lock lock(mu_);
    return ram_[page];
}

void ControllerModel::setRamPage(unsigned page, const ParamPage& words) {
    checkPage(page);
    Lock lock(mu_);
    ram_[page] = words;
}

ParamPage ControllerModel::eepromPage(unsigned page) const {
    checkPage(page);
    Lock lock(mu_);
    return eeprom_[page];
}

void ControllerModel::setEepromPage(unsigned page, const ParamPage& words) {
    checkPage(page);
    Lock lock(mu_);
    eeprom_[page] = words;
    saveEepromLocked();
}

Parameters ControllerModel::ramParameters() const {
    const ParamPage p = ramPage(0);
    Parameters out;
    std::copy(p.begin() + 1, p.end(), out.begin());
    return out;
}

Parameters ControllerModel::eepromParameters() const {
    const ParamPage p = eepromPage(0);
    Parameters out;
    std::copy(p.begin() + 1, p.end(), out.begin());
    return out;
}

std::string ControllerModel::firmware() const {
    Lock lock(mu_);
    return firmware_;
}

void ControllerModel::setFirmware(const std::string& text) {
    Lock lock(mu_);
    firmware_ = text.substr(0, kFirmwareWords);
}

RingBuffer ControllerModel::ring() const {
    Lock lock(mu_);
    return ring_;
}

void ControllerModel::setRing(const RingBuffer& ring) {
    Lock lock(mu_);
    ring_ = ring;
    ring_.index = static_cast<std::uint16_t>(ring_.index % kRingValues);
}

void ControllerModel::freezeMeasurement(const Measurement& m) {
    Lock lock(mu_);
    frozen_ = m;
}

void ControllerModel::setNextMeasurement(const Measurement& m) {
    Lock lock(mu_);
    nextOnce_ = m;
}

void ControllerModel::unfreeze() {
    Lock lock(mu_);
    frozen_.reset();
    nextOnce_.reset();
}

Measurement ControllerModel::currentMeasurement() const {
    Lock lock(mu_);
    return currentLocked();
}

std::uint64_t ControllerModel::measurementCount() const {
    Lock lock(mu_);
    return measurements_;
}

std::array<std::uint16_t, kDataArrayWords> ControllerModel::dataArray(std::uint16_t source) const {
    Lock lock(mu_);
    return dataArrayLocked(source);
}

std::array<std::uint16_t, 2> ControllerModel::infoBlock() const {
    Lock lock(mu_);
    return info_;
}

unsigned ControllerModel::infoBlockWrites() const {
    Lock lock(mu_);
    return infoWrites_;
}

std::vector<RequestRecord> ControllerModel::requests() const {
    Lock lock(mu_);
    return {log_.begin(), log_.end()};
}

std::size_t ControllerModel::requestCount() const {
    Lock lock(mu_);
    return log_.size();
}

void ControllerModel::clearRequests() {
    Lock lock(mu_);
    log_.clear();
}

bool ControllerModel::eepromLoadedFromFile() const {
    Lock lock(mu_);
    return eepromLoaded_;
}

std::string ControllerModel::eepromFileError() const {
    Lock lock(mu_);
    return eepromError_;
}

// File format: a comment line, then page 0 and page 1 as one line of 16 decimal words each
// (word 0 the page number).
void ControllerModel::saveEepromLocked() {
    if (options_.eepromFile.empty()) return;
    const std::filesystem::path path = options_.eepromFile;
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << "# evok-vx12-sim EEPROM: parameter page 0 and page 1, 16 words each\n";
        for (const ParamPage& page : eeprom_) {
            for (std::size_t i = 0; i < page.size(); ++i)
                out << (i ? " " : "") << page[i];
            out << '\n';
        }
        out.flush();
        if (!out) {
            eepromError_ = "cannot write " + tmp.string();
            return;
        }
    }
    // Replace in one step, so a crash never leaves half a file.
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    eepromError_ = ec ? "cannot replace " + path.string() + ": " + ec.message() : std::string();
}

bool ControllerModel::loadEepromLocked() {
    std::ifstream in(options_.eepromFile);
    if (!in) return false; // no file yet: start values, the first EEPROM write creates it
    std::vector<long> numbers;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        long v;
        while (words >> v)
            numbers.push_back(v);
        if (!words.eof()) {
            eepromError_ = options_.eepromFile + ": not a list of numbers";
            return false;
        }
    }
    const bool shapeOk =
        numbers.size() == 2 * kFrameWords && numbers[0] == 0 && numbers[kFrameWords] == 1 &&
        std::all_of(numbers.begin(), numbers.end(), [](long v) { return v >= 0 && v <= 0xFFFF; });
    if (!shapeOk) {
        eepromError_ = options_.eepromFile + ": expected pages 0 and 1 of 16 words (0..65535)";
        return false;
    }
    for (std::size_t p = 0; p < 2; ++p)
        for (std::size_t i = 0; i < kFrameWords; ++i)
            eeprom_[p][i] = static_cast<std::uint16_t>(numbers[p * kFrameWords + i]);
    return true;
}

} // namespace sim
