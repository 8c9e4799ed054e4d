// The program's entry. Started without arguments it runs the operator program (the COM port is
// chosen on the main panel); --help and --version answer without opening a window, so that they
// work without a display.
#include "app/shell.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: evok-vx12-trace-watch [--help | --version]\n"
    "Operator program for the E-VOK-VX12 optical sensor controller on a serial port\n"
    "(19200 baud, 8N1, 36-byte frames). Started without arguments it opens its main panel on\n"
    "port 1; the COM selector on the panel chooses another port.\n"
    "\n"
    "Port n is the device named by the environment variable EVOK_COM<n> (for example\n"
    "EVOK_COM1=/dev/ttyUSB0), else the n-th serial device found (USB and ACM adapters first).\n"
    "EVOK_TRACE=FILE writes every frame sent and received to FILE, one line each (the lines of\n"
    "the frame monitor, Ctrl+M).\n"
    "Files the operator writes default to the program's directory when it is writable, else to\n"
    "the documents folder (XDG_DOCUMENTS_DIR, else ~/Documents).\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n";

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[1], "--version") == 0) {
            std::puts(EVOK_VERSION);
            return 0;
        }
        std::fprintf(stderr, "evok-vx12-trace-watch: unknown argument '%s'\n%s", argv[1], kUsage);
        return 2;
    }
    return evok::WinMain();
}
