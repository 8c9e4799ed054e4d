// Serial port service: numbered ports on POSIX serial devices (termios), with a user-space input
// queue and a receive notification delivered by the event pump.
//
// Port numbers map to devices: the environment variable EVOK_COM<n> names the device of port n;
// otherwise port n is the n-th serial device found (USB and ACM adapters first, then built-in
// UARTs, each in natural order).
//
// Every call returns to its caller without processing GUI events. All calls are made from the GUI
// thread. Results below 0 are the error codes of ComError.
#pragma once

#include <string>

// The service's error codes. Every errno is mapped to one of these in one place (serial_posix.cpp).
enum ComError : int {
    kComErrSystem = -1,        // unknown system error (out of memory, unexpected errno)
    kComErrInvalidPort = -2,   // port number outside 1..kComMaxPort
    kComErrNotOpen = -3,       // the port is not open
    kComErrIo = -4,            // I/O error: the device went away (hang-up) or failed
    kComErrNoPort = -6,        // no device is mapped to this port number
    kComErrCannotOpen = -7,    // the device exists but cannot be opened (busy, no permission)
    kComErrInvalidParam = -13, // a setting outside what the service supports
    kComErrTimeout = -99,      // the time limit passed before a write could complete
};

// The operator's text for a ComError ("Cannot open port"); "RS-232 error!" for any other negative
// value.
const char* ComErrorText(int code);

constexpr int kComMaxPort = 255;

// Event bits of the receive notification.
enum ComEvent : int {
    kComEvRxChar = 0x0002,  // the event character arrived among the new bytes
    kComEvTxEmpty = 0x0004, // accepted in an event mask for compatibility; never raised
    kComEvRxCount = 0x8000, // the input queue holds at least the notify count
};

using ComCallbackPtr = void (*)(int port, int events, void* callbackData);

// Opens port with the given line settings (parity 0 none, 1 odd, 2 even; 5..8 data bits; 1 or 2
// stop bits) in raw mode, no flow control, exclusive. deviceName empty or null: the device that the
// port number maps to; otherwise that device path. The queues hold inputQueueSize and
// outputQueueSize bytes (36 to 1 MiB each; other sizes: kComErrInvalidParam). The driver is
// asked for low-latency mode (a USB adapter then hands bytes over at once); a driver that
// refuses is not an error. Opening a port that is already open closes it first. Returns 0 on
// success or a negative ComError.
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);

// Sets the time limit of every later ComRd and ComWrt on port (10 s after opening until set).
// Returns 0 or a negative ComError.
int SetComTime(int port, double timeoutSeconds);

// Switches the CTS hardware handshake off (0) or on (1). A device that refuses the modem-line
// setting (a pseudo-terminal) is not an error. Returns 0 or a negative ComError.
int SetCTSMode(int port, int mode);

// Installs the receive notification: after new bytes have reached the input queue, the next event
// processing (main loop or ProcessSystemEvents) calls callback with the bits of eventMask that
// hold: kComEvRxCount when the queue holds at least notifyCount bytes, kComEvRxChar when
// eventCharacter was among the new bytes. With kComEvRxCount in the mask, the device's bytes are
// taken into the queue once they complete the notify count (a frame arriving at the line's speed
// wakes the program once, not once per byte), so kComEvRxChar comes with them; without it, every
// arriving byte is taken at once. kComEvTxEmpty is accepted in the mask but never raised (nothing
// watches the output queue drain). eventMask 0 or a null callback removes the notification: it
// is then never called. The callback is never called from inside a serial call. Returns 0 or a
// negative ComError.
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData);

// Writes count bytes, waiting at most the port's time limit. Returns count on success; the number
// written so far if the time limit passed after a part was written; kComErrTimeout if nothing
// could be written in time; kComErrNotOpen, or kComErrIo after a hang-up.
int ComWrt(int port, const void* buffer, int count);

// Reads count bytes into buffer (which must hold count bytes; nothing is written beyond them),
// first from the input queue, then from the device, waiting at most the port's time limit.
// Returns the count read: count, or fewer when the time limit passed or the device hung up.
// A port that is not open returns kComErrNotOpen.
int ComRd(int port, void* buffer, int count);

// Moves what the device has received into the input queue and returns the queue's length.
int GetInQLen(int port);

// Discards every byte received so far: the input queue and what the device holds.
int FlushInQ(int port);

// Discards output not yet sent.
int FlushOutQ(int port);

// Closes the port; a low-latency mode that opening switched on is switched off again. Closing a
// port that is not open returns kComErrNotOpen and harms nothing.
int CloseCom(int port);

// The device path that port number maps to, empty when there is none.
std::string ComPortDevice(int port);

// What the machine says the device behind port number is ("FT232R USB UART, latency 16 ms":
// the product, and an adapter's latency timer where it shows one); empty when there is no
// device or nothing is known about it (a pseudo-terminal).
std::string ComPortDescription(int port);
