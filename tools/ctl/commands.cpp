#include "tools/ctl/commands.h"

#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "params/transfer.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "tools/ctl/platform.h"
#include "views/datablock.h"
#include "views/live.h"
#include "views/recfile.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <string>

namespace ctl {

using namespace evok;

namespace {

// The parameter names in the word order of page 0 (words 1 to 15).
constexpr const char* kNames[PNUM - 1] = {"powerA",   "thd1",    "thd2",    "triglvlA", "deltaT",
                                          "polarity", "hold",    "average", "hwmode",   "evalmode",
                                          "trigmode", "outmode", "anamode", "sdelay",   "maxmode"};
constexpr int kCurveValues = 128;
// After the page writes, before the read-back: the controller's time to store the pages (an
// EEPROM write takes a while), as long as the program's own pause between the pages.
constexpr double kStorePause = 0.1;

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "evok-vx12-ctl: %s\n", text.c_str());
    return code;
}

// The parameter variables as page 0 carries them: words[0] the page, words[1..15] the values.
void PageWords(unsigned short (&words)[PNUM]) {
    CopyVarsToPP(kPage0);
    for (int i = 0; i < PNUM; ++i)
        words[i] = pp[i];
}

void PrintParameters() {
    unsigned short words[PNUM];
    PageWords(words);
    for (int i = 1; i < PNUM; ++i)
        std::printf("%s=%u\n", kNames[i - 1], unsigned{words[i]});
}

// Opens the port and proves the line with the echo check, carrying the page-0 words of the
// parameter variables, as the program's start-up does.
int Connect() {
    if (OpenLine(com) < 0) {
        const std::string device = ComPortDevice(com);
        return Fail(kExitPort, std::string(szStatus) + ": COM" + std::to_string(com) +
                                   (device.empty() ? "" : " " + device));
    }
    CopyVarsToPP(kPage0);
    if (CheckComLine(com) != 1) return Fail(kExitNoReply, szStatus);
    return kExitDone;
}

// One parameter page into the variables (page 1 is read and not kept, as by the program).
int ReadPage(int pageTarget, unsigned short page) {
    PushGET(pageTarget, page);
    return rx_flag == 1 ? kExitDone : Fail(kExitNoReply, szStatus);
}

int ReadBothPages(int pageTarget) {
    int result = ReadPage(pageTarget, kPage0);
    if (result == kExitDone) result = ReadPage(pageTarget, kPage1);
    return result;
}

// ISO 8601 local time with milliseconds.
std::string LocalTime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::localtime(&seconds));
    char withMillis[48];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
    return withMillis;
}

// One row of the measurement variables.
void PrintFrameRow(double seconds) {
    std::printf("%s,%.3f,%d,%u,%u,%u,%u,%u,%u,%u,%u,%u\n", LocalTime().c_str(), seconds, valNORMA,
                unsigned{adcCHA}, unsigned{Amax}, unsigned{T1val}, unsigned{T2val}, unsigned{DTval},
                unsigned{btnval}, unsigned{in0val}, unsigned{in1val}, unsigned{indexA});
    std::fflush(stdout);
}

} // namespace

int Info() {
    int result = Connect();
    if (result != kExitDone) return result;
    if (GetVERSIONInfo() < kVersionReplyBytes) return Fail(kExitNoReply, kTextFirmwareError);
    std::printf("%s\n", szVersion);
    return kExitDone;
}

int Get(bool eeprom, const char* outFile) {
    int result = Connect();
    if (result == kExitDone) result = ReadBothPages(eeprom ? EEPROM : RAM);
    if (result != kExitDone) return result;
    if (!outFile) {
        PrintParameters();
        return kExitDone;
    }
    return WriteParaFile(outFile) < 0 ? Fail(kExitUsage, LastStatus()) : kExitDone;
}

int Send(const char* file, bool eeprom) {
    // The file first: one that cannot be loaded never reaches the line.
    if (LoadParaFile(file) < 0) return Fail(kExitUsage, LastStatus());
    unsigned short sent[PNUM];
    PageWords(sent);
    int result = Connect();
    if (result != kExitDone) return result;

    const int pageTarget = eeprom ? EEPROM : RAM;
    if (SendParaPages(pageTarget) != 1) return Fail(kExitNoReply, ComErrorText(nBytesW));
    const std::string sendStatus = LastStatus();
    Delay(kStorePause);
    result = ReadPage(pageTarget, kPage0);
    if (result != kExitDone) return result;

    unsigned short back[PNUM];
    PageWords(back);
    for (int i = 1; i < PNUM; ++i) {
        if (back[i] == sent[i]) continue;
        std::fprintf(stderr, "evok-vx12-ctl: %s: sent %u, read back %u\n", kNames[i - 1],
                     unsigned{sent[i]}, unsigned{back[i]});
        result = kExitVerify;
    }
    if (result == kExitDone) std::printf("%s\n", sendStatus.c_str());
    return result;
}

int Ring(const char* outFile) {
    int result = Connect();
    if (result != kExitDone) return result;
    constexpr int kRingBlocks = static_cast<int>(std::size(kBlockOffsets));
    if (ReadDataBlocks(2, true) != kRingBlocks) return Fail(kExitNoReply, kTextBlockTimeout);
    if (outFile) return StoreRecordFile(outFile) < 0 ? Fail(kExitUsage, LastStatus()) : kExitDone;
    std::printf("index=%u\n", unsigned{yArrayA[kRingIndexWord]});
    for (int i = 0; i < kRingValues; ++i)
        std::printf("%u\n", unsigned{yArrayA[i]});
    return kExitDone;
}

int Block(int source) {
    int result = Connect();
    if (result != kExitDone) return result;
    if (ReadDataBlocks(source, false) * kBlockWords < kCurveValues)
        return Fail(kExitNoReply, kTextBlockTimeout);
    for (int i = 0; i < kCurveValues; ++i)
        std::printf("%u\n", unsigned{yArrayA[i]});
    return kExitDone;
}

int Watch(long frames, bool csv) {
    // The requests carry the controller's own page-0 words, as the program's live loop does
    // after start-up.
    int result = Connect();
    if (result == kExitDone) result = ReadPage(RAM, kPage0);
    if (result != kExitDone) return result;
    CatchInterrupt();
    if (csv) {
        std::printf("time,seconds,norm_a,adc_a,amax,t1,t2,delta_t,button,in0,in1,index\n");
        std::fflush(stdout);
    }

    const double start = Timer();
    long taken = 0;
    for (bool first = true; !Interrupted(); first = false) {
        const WaitOutcome outcome = LiveStep(first, Interrupted);
        if (outcome == kWaitTimedOut) return Fail(kExitNoReply, kTextLineTimeout);
        if (outcome != kWaitReplied) continue;
        TakeMeasurementFrame();
        PrintFrameRow(Timer() - start);
        if (frames > 0 && ++taken >= frames) break;
    }
    FlushLine();
    return kExitDone;
}

int Command(int orderCode) {
    // The command carries the controller's own page-0 words, as after the program's start-up.
    int result = Connect();
    if (result == kExitDone) result = ReadPage(RAM, kPage0);
    if (result != kExitDone) return result;
    if (RunCommand(orderCode) != 1) return Fail(kExitNoReply, LastStatus());
    std::printf("%s\n", LastStatus());
    PrintParameters();
    return kExitDone;
}

void Finish() {
    CloseLine();
}

} // namespace ctl
