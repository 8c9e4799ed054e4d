// evok-vx12-ctl: the operator program's transactions from the command line, for scripted set-up
// and headless reads. Exit codes: see commands.h.
#include "ground/state.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/console.h"
#include "tools/ctl/commands.h"
#include "tools/ctl/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: evok-vx12-ctl [--port DEVICE | --com N] COMMAND [OPTIONS]\n"
    "\n"
    "Talks to an E-VOK-VX12 controller on a serial port (19200 8N1), as the operator program\n"
    "E-VOK-VX12 Trace-Watch does, without a display.\n"
    "\n"
    "Commands:\n"
    "  info                      echo check, then the firmware text\n"
    "  get [--eeprom] [-o FILE]  both parameter pages from RAM (or EEPROM): the fifteen\n"
    "                            parameters as name=value lines, or a .cfg parameter file\n"
    "  send FILE [--eeprom]      writes a .cfg parameter file to RAM (or EEPROM), reads page 0\n"
    "                            back and compares\n"
    "  ring [-o FILE]            the delta-T ring buffer: index and 255 values, or a .dat\n"
    "                            record file\n"
    "  block raw|norm            the 128 values of the raw or normalised curve\n"
    "  watch [--frames N] [--csv]\n"
    "                            measurement frames at the line's pace until N frames or Ctrl-C\n"
    "  teach | reset | refresh   the command, then the parameters read back\n"
    "\n"
    "Port: --port DEVICE opens that device; --com N port N (EVOK_COM<N> names its device,\n"
    "otherwise the N-th serial device found); default port 1.\n"
    "\n"
    "Exit codes: 0 done, 1 no or bad reply from the controller, 2 usage or file error,\n"
    "3 port cannot be opened, 4 verification failed.\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "evok-vx12-ctl: %s\nTry 'evok-vx12-ctl --help'.\n", why.c_str());
    return ctl::kExitUsage;
}

// A whole decimal number within [low, high].
bool Number(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < low || n > high) return false;
    *value = n;
    return true;
}

struct Args {
    std::string command;
    std::vector<std::string> rest; // the command's own arguments
};

constexpr const char* kCommands[] = {"info",  "get",   "send",  "ring",   "block",
                                     "watch", "teach", "reset", "refresh"};

int Run(const Args& a) {
    bool known = false;
    for (const char* command : kCommands)
        known = known || a.command == command;
    if (!known) return Usage("unknown command: " + a.command);
    bool eeprom = false, csv = false;
    const char* out = nullptr;
    const char* file = nullptr;
    long frames = 0;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < a.rest.size(); ++i) {
        const std::string& arg = a.rest[i];
        const bool hasValue = i + 1 < a.rest.size();
        if (arg == "--eeprom" && (a.command == "get" || a.command == "send")) {
            eeprom = true;
        } else if (arg == "--csv" && a.command == "watch") {
            csv = true;
        } else if (arg == "-o" && (a.command == "get" || a.command == "ring")) {
            if (!hasValue) return Usage("-o needs a file name");
            out = a.rest[++i].c_str();
        } else if (arg == "--frames" && a.command == "watch") {
            if (!hasValue || !Number(a.rest[i + 1].c_str(), 1, 1L << 30, &frames))
                return Usage("--frames needs a count of at least 1");
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option for " + a.command + ": " + arg);
        } else {
            positional.push_back(arg);
        }
    }

    const std::size_t wanted = a.command == "send" || a.command == "block" ? 1 : 0;
    if (positional.size() != wanted) {
        if (wanted == 0) return Usage("unexpected argument: " + positional[0]);
        return Usage(a.command == "send" ? "send needs a parameter file"
                                         : "block needs raw or norm");
    }
    if (a.command == "send") file = positional[0].c_str();

    if (a.command == "info") return ctl::Info();
    if (a.command == "get") return ctl::Get(eeprom, out);
    if (a.command == "send") return ctl::Send(file, eeprom);
    if (a.command == "ring") return ctl::Ring(out);
    if (a.command == "block") {
        if (positional[0] == "raw") return ctl::Block(0);
        if (positional[0] == "norm") return ctl::Block(1);
        return Usage("block needs raw or norm, not " + positional[0]);
    }
    if (a.command == "watch") return ctl::Watch(frames, csv);
    if (a.command == "teach") return ctl::Command(evok::kOrderTeach);
    if (a.command == "reset") return ctl::Command(evok::kOrderReset);
    return ctl::Command(evok::kOrderRefresh);
}

} // namespace

int main(int argc, char** argv) {
    evok::SetStartValues();
    Args a;
    const char* device = nullptr;
    bool comGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return ctl::kExitDone;
        }
        if (arg == "--version") {
            std::printf("evok-vx12-ctl %s\n", EVOK_VERSION);
            return ctl::kExitDone;
        }
        if ((arg == "--port" || arg == "--com") && i + 1 >= argc)
            return Usage(arg + " needs a value");
        if (arg == "--port") {
            device = argv[++i];
        } else if (arg == "--com") {
            long n = 0;
            if (!Number(argv[++i], 1, 255, &n)) return Usage("--com needs a port number 1..255");
            evok::com = static_cast<int>(n);
            comGiven = true;
        } else if (a.command.empty() && !(arg.size() > 1 && arg[0] == '-')) {
            a.command = arg;
        } else if (a.command.empty()) {
            return Usage("unknown option: " + arg);
        } else {
            a.rest.push_back(arg);
        }
    }
    if (a.command.empty()) return Usage("no command given");
    if (device && comGiven) return Usage("--port and --com exclude each other");
    if (device && !ctl::MapPortDevice(evok::com, device)) return Usage("cannot use the device");

    StartConsoleRuntime();
    const int result = Run(a);
    ctl::Finish();
    return result;
}
