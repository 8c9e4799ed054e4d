// Platform part of the serial service: one open serial device, and the list of the machine's
// serial devices. serial.cpp builds ports, queues and notifications on top of it; the POSIX
// implementation is serial_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace serial_detail {

struct LineSettings {
    long baudRate = 19200;
    int parity = 0; // 0 none, 1 odd, 2 even
    int dataBits = 8;
    int stopBits = 1;
};

// 0 when the platform can set up a line like this, otherwise kComErrInvalidParam.
int checkLineSettings(const LineSettings& settings);

class Device {
public:
    // Opens path in raw mode with the settings, no flow control, exclusive, and asks its driver
    // for low-latency mode (beginLowLatency). Returns 0 and sets out, or a negative ComError.
    static int open(const std::string& path, const LineSettings& settings,
                    std::unique_ptr<Device>& out);
    // Switches low-latency mode off again if open switched it on (on a device that has gone
    // away the driver refuses, harmlessly), releases exclusive use and closes.
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // What a QSocketNotifier watches for this device.
    std::intptr_t nativeHandle() const { return handle_; }

    // Reads what has arrived, at most size bytes, without waiting. Returns the count (0 when
    // nothing is there now) or kComErrIo when the device hung up or failed.
    long readAvailable(void* buffer, std::size_t size);
    // Writes what fits now, at most size bytes, without waiting. Returns the count (0 when
    // nothing fits now) or kComErrIo when the device hung up or failed.
    long writeSome(const void* buffer, std::size_t size);

    // Wait at most seconds until there is something to read (or the device hung up), resp. until
    // a write can make progress. Return 1 when ready, 0 when the time passed, kComErrIo when the
    // device hung up.
    int waitReadable(double seconds);
    int waitWritable(double seconds);

    // Discard what the driver holds for input / has not yet sent. Return 0 or kComErrIo;
    // flushInput returns 1 when the driver did discard it, 0 when the device does not let it.
    int flushInput();
    int flushOutput();
    // CTS handshake on or off. A device without modem lines (a pty) is not an error.
    int setCtsHandshake(bool on);
    // The device reports itself readable (to waitReadable and to a notifier watching it) only
    // once it holds at least `bytes` (1..255) received bytes, or has hung up; reads still return
    // what is there. Lets a wait for a frame sleep through the frame's single bytes.
    void setReadMinimum(int bytes);

private:
    explicit Device(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
    int readMinimum_ = 1;
    bool lowLatencyToUndo_ = false; // open switched low-latency mode on
};

// Low-latency mode: the driver hands received bytes over as they come instead of collecting
// them (a USB adapter's latency timer, 16 ms by default, then runs out after 1 ms). A request,
// never a condition: a driver that does not offer it (a pseudo-terminal, a built-in UART)
// refuses and the line works as before. Implemented per platform (serial_low_latency_*.cpp).

// Asks the driver of the open device for low-latency mode. Returns true when this call switched
// it on (endLowLatency switches it off again); false when it was on already or the driver
// refused.
bool beginLowLatency(std::intptr_t handle);
// Switches low-latency mode off again; every other setting of the driver stays as it is now.
// A driver that refuses is left as it is.
void endLowLatency(std::intptr_t handle);

// The machine's serial devices in port order: USB adapters, then ACM adapters, then built-in
// UARTs, then the rest, each group in natural order (ttyUSB2 before ttyUSB10).
std::vector<std::string> listSerialDevices();

// What the machine says the serial device at path is, for the operator: the USB product name
// ("FT232R USB UART"), else the USB interface name, else the maker; then, where the adapter
// shows it, its latency timer ("FT232R USB UART, latency 1 ms"); empty when it says nothing
// (a pseudo-terminal, a built-in UART). Symbolic links are followed. sysRoot is where the
// kernel's device tree is mounted; tests point it at a tree of their own.
std::string describeSerialDevice(const std::string& path, const std::string& sysRoot = "/sys");

} // namespace serial_detail
