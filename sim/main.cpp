// evok-vx12-sim: the simulated E-VOK-VX12 controller, for running and demonstrating the operator
// program without hardware. It serves a pseudo-terminal (or a real serial device) and prints
// the device to connect to on the first line of its output.
#include "sim/controller_model.h"
#include "sim/line_endpoint.h"
#include "sim/stop_signal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    R"(Usage: evok-vx12-sim [OPTIONS]
Simulated E-VOK-VX12 controller on a serial line (19200 baud, 8N1, 36-byte frames).
Without --device it creates a pseudo-terminal and prints the device to connect to, e.g.
  evok-vx12-sim: controller on /dev/pts/7 (pty line, paced at 19200 baud)
then serves it until interrupted (Ctrl-C, SIGTERM).

Line:
  --link PATH            keep a symbolic link PATH to the pseudo-terminal (removed at exit)
  --device PATH          serve a real serial device instead of a pseudo-terminal
  --no-pacing            write replies at once instead of at 19200 baud (10 bits a byte);
                         pty line only, the other lines always pace
  --line MODEL           how the line hands bytes over (default pty):
                           pty           every byte at once
                           uart          the controller takes the program's bytes at 19200
                                         baud; an output flush drops those not yet taken
                           latency[:MS]  a USB adapter that hands replies over when its
                                         latency timer (1..255 ms, default 16) runs out or
                                         62 bytes have collected
                           packet        a USB adapter that hands replies over every 1 ms
                         --device takes only pty (a real device is a real line)
Controller:
  --seed N               seed of the measurement values and of the faults (default 1)
  --eeprom-file PATH     keep the EEPROM parameter pages in PATH across runs
  --firmware TEXT        firmware text (at most 32 characters, default "EVOK-VX12 SIM FW 2.07")
Faults (probabilities P from 0 to 1, per reply, reproducible from the seed):
  --drop P               no reply
  --delay P:SECONDS      reply starts SECONDS late
  --short P              only the first bytes of the reply
  --corrupt P            some reply bytes changed
  --extra P              extra bytes after the reply
  --fault-orders LIST    faults only for these order codes (comma-separated, e.g. 8,9)
  --hangup-after N       close the line after N replies
  --hangup-time SECONDS  close the line SECONDS after the start
Other:
  --verbose              log every request and reply to standard error
  --help                 show this text
  --version              show the version
)";

struct Args {
    std::string link;
    std::string device;
    bool pacing = true;
    sim::LineModel line;
    std::uint64_t seed = 1;
    std::string eepromFile;
    std::optional<std::string> firmware;
    sim::FaultConfig faults;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "evok-vx12-sim: " << message << "\nTry 'evok-vx12-sim --help'.\n";
    std::exit(2);
}

double probability(const std::string& opt, const std::string& text) {
    try {
        std::size_t used = 0;
        const double p = std::stod(text, &used);
        if (used == text.size() && p >= 0.0 && p <= 1.0) return p;
    } catch (const std::exception&) {
    }
    usageError(opt + " needs a probability from 0 to 1, not '" + text + "'");
}

double nonNegative(const std::string& opt, const std::string& text) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (used == text.size() && v >= 0.0) return v;
    } catch (const std::exception&) {
    }
    usageError(opt + " needs a number of seconds, not '" + text + "'");
}

unsigned long long whole(const std::string& opt, const std::string& text, unsigned long long max) {
    try {
        std::size_t used = 0;
        const unsigned long long v = std::stoull(text, &used, 0);
        if (used == text.size() && !text.empty() && text[0] != '-' && v <= max) return v;
    } catch (const std::exception&) {
    }
    usageError(opt + " needs a whole number up to " + std::to_string(max) + ", not '" + text + "'");
}

Args parse(int argc, char** argv) {
    Args a;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string opt = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = opt.find('='); opt.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = opt.substr(eq + 1);
            opt = opt.substr(0, eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) usageError(opt + " needs a value");
            return args[++i];
        };
        if (opt == "--help" || opt == "-h") {
            a.help = true;
        } else if (opt == "--version") {
            a.version = true;
        } else if (opt == "--link") {
            a.link = value();
        } else if (opt == "--device") {
            a.device = value();
        } else if (opt == "--no-pacing") {
            a.pacing = false;
        } else if (opt == "--line") {
            std::string error;
            if (!sim::ParseLineModel(value(), &a.line, &error)) usageError("--line: " + error);
        } else if (opt == "--seed") {
            a.seed = whole(opt, value(), ~0ULL);
        } else if (opt == "--eeprom-file") {
            a.eepromFile = value();
        } else if (opt == "--firmware") {
            a.firmware = value();
            if (a.firmware->size() > sim::kFirmwareWords)
                usageError("--firmware text is longer than 32 characters");
        } else if (opt == "--drop") {
            a.faults.drop = probability(opt, value());
        } else if (opt == "--delay") {
            const std::string v = value();
            const auto colon = v.find(':');
            if (colon == std::string::npos) usageError("--delay needs P:SECONDS, e.g. 0.1:0.5");
            a.faults.delay = probability(opt, v.substr(0, colon));
            a.faults.delaySeconds = nonNegative(opt, v.substr(colon + 1));
        } else if (opt == "--short") {
            a.faults.cutShort = probability(opt, value());
        } else if (opt == "--corrupt") {
            a.faults.corrupt = probability(opt, value());
        } else if (opt == "--extra") {
            a.faults.extra = probability(opt, value());
        } else if (opt == "--fault-orders") {
            std::stringstream list(value());
            std::string item;
            while (std::getline(list, item, ','))
                if (!item.empty())
                    a.faults.orders.push_back(static_cast<std::uint16_t>(whole(opt, item, 0xFFFF)));
            if (a.faults.orders.empty()) usageError("--fault-orders needs at least one code");
        } else if (opt == "--hangup-after") {
            a.faults.hangUpAfterReplies = static_cast<unsigned>(whole(opt, value(), 1000000000));
        } else if (opt == "--hangup-time") {
            a.faults.hangUpAfterSeconds = nonNegative(opt, value());
        } else if (opt == "--verbose" || opt == "-v") {
            a.verbose = true;
        } else {
            usageError("unknown option '" + args[i] + "'");
        }
    }
    if (!a.link.empty() && !a.device.empty()) usageError("--link and --device exclude each other");
    if (!a.device.empty() && a.line.kind != sim::LineKind::Pty)
        usageError("--device serves a real line: --line " + a.line.name() + " does not apply");
    a.faults.seed = a.seed;
    return a;
}

// A symbolic link to the pty that lives as long as the program.
class DeviceLink {
public:
    DeviceLink(std::filesystem::path link, const std::string& target) : link_(std::move(link)) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const auto status = fs::symlink_status(link_, ec);
        if (fs::exists(status) && !fs::is_symlink(status))
            throw std::runtime_error(link_.string() + " exists and is not a symbolic link");
        // Replace a link left by an earlier run in one step.
        fs::path tmp = link_;
        tmp += ".new";
        fs::remove(tmp, ec);
        fs::create_symlink(target, tmp);
        fs::rename(tmp, link_);
        target_ = target;
    }
    ~DeviceLink() {
        std::error_code ec;
        // Only our own link: another run may have taken the path over.
        if (std::filesystem::read_symlink(link_, ec) == target_) std::filesystem::remove(link_, ec);
    }

private:
    std::filesystem::path link_;
    std::filesystem::path target_;
};

} // namespace

int main(int argc, char** argv) {
    const Args args = parse(argc, argv);
    if (args.version) {
        std::cout << EVOK_VERSION << '\n';
        return 0;
    }
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }

    sim::blockStopSignals(); // before any thread starts
    const auto t0 = std::chrono::steady_clock::now();
    std::mutex logMutex;

    try {
        sim::ControllerModel::Options modelOptions;
        modelOptions.seed = args.seed;
        modelOptions.eepromFile = args.eepromFile;
        if (args.firmware) modelOptions.firmware = *args.firmware;
        modelOptions.requestLogLimit = 1024; // nobody reads the logs here
        sim::ControllerModel model(modelOptions);
        if (!model.eepromFileError().empty())
            std::cerr << "evok-vx12-sim: EEPROM file ignored: " << model.eepromFileError() << '\n';

        sim::LineOptions lineOptions;
        lineOptions.pacing = args.pacing;
        lineOptions.model = args.line;
        lineOptions.faults = args.faults;
        lineOptions.replyLogLimit = 1024;
        if (args.verbose) {
            lineOptions.trace = [&](const std::string& text) {
                const double t =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                char stamp[32];
                std::snprintf(stamp, sizeof stamp, "[%10.6f] ", t);
                std::lock_guard lock(logMutex);
                std::cerr << stamp << text << '\n';
            };
        }

        std::unique_ptr<sim::LineEndpoint> line =
            args.device.empty()
                ? std::make_unique<sim::LineEndpoint>(model, lineOptions)
                : std::make_unique<sim::LineEndpoint>(model, args.device, lineOptions);
        std::unique_ptr<DeviceLink> link;
        if (!args.link.empty()) link = std::make_unique<DeviceLink>(args.link, line->devicePath());

        const std::string pace =
            args.line.name() + " line, " +
            (args.pacing || args.line.pacesReplies() ? "paced at 19200 baud" : "unpaced");
        std::cout << "evok-vx12-sim: controller on " << (link ? args.link : line->devicePath());
        if (link)
            std::cout << " (link to " << line->devicePath() << ", " << pace << ")";
        else
            std::cout << " (" << pace << ")";
        std::cout << std::endl;

        line->start();
        int sig = 0;
        while (sig == 0 && !line->hungUp())
            sig = sim::waitForStopSignal(0.1);
        if (sig == 0) std::cerr << "evok-vx12-sim: line closed\n";
        line->stop();
    } catch (const std::exception& e) {
        std::cerr << "evok-vx12-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
