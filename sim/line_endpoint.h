// The controller's end of the serial line: serves a ControllerModel on a pseudo-terminal or on
// a real serial device, on a thread of its own. It finds request frames in the byte stream
// (re-synchronising on the sync word), paces both directions as a 19200-baud 8N1 line would
// (10 bits a byte), hands its replies over as the chosen line model does, and can inject
// reproducible faults.
#pragma once

#include "sim/clock.h"
#include "sim/controller_model.h"
#include "sim/faults.h"
#include "sim/frame.h"
#include "sim/line_model.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct LineOptions {
    // Every byte costs its wire time in both directions. Off: replies are written at once (the
    // Pty model only; every other model paces).
    bool pacing = true;
    // How the line hands bytes over; a serial device (a real line) takes only Pty.
    LineModel model;
    unsigned baud = kLineBaud;
    unsigned bitsPerByte = kBitsPerByte;
    // Pty and Uart: reply bytes are delivered in bursts of at most this many, as a UART FIFO
    // would; each burst is written when its last byte's wire time has come.
    std::size_t burstBytes = 8;
    // A partial request frame is dropped after this much silence.
    double gapSeconds = 0.1;
    FaultConfig faults;
    // The reply log keeps the newest this many replies.
    std::size_t replyLogLimit = 65536;
    // Called on the line's thread with one line of text per request and reply (verbose log).
    std::function<void(const std::string&)> trace;
};

// One reply as decided and sent.
struct ReplyRecord {
    std::uint16_t order = 0;
    Bytes reply;             // what the model answered
    FaultOutcome fault;      // the faults applied to it
    Bytes sent;              // what goes on the wire (empty when dropped)
    Clock::time_point start; // when its first byte starts on the wire
};

class LineEndpoint {
public:
    // Serves on a new pseudo-terminal; devicePath() is the path the program opens.
    explicit LineEndpoint(ControllerModel& model, LineOptions options = {});
    // Serves on a serial device, set to raw 19200 8N1 without flow control. Throws
    // std::runtime_error when the device cannot be opened or set up, std::invalid_argument for
    // a line model other than Pty (the device is a real line already).
    LineEndpoint(ControllerModel& model, const std::string& device, LineOptions options);
    ~LineEndpoint(); // stops
    LineEndpoint(const LineEndpoint&) = delete;
    LineEndpoint& operator=(const LineEndpoint&) = delete;

    const std::string& devicePath() const;
    std::chrono::nanoseconds byteTime() const;

    // Starts the line thread (once). The hang-up time of the fault options counts from here.
    void start();
    // Ends the thread and closes the line; the program then sees a hang-up. Idempotent.
    void stop();

    // Replaces the reply faults (probabilities, delay, orders) from the next request on; the
    // reply counter starts again. The hang-up options keep their start-up values.
    void setFaults(const FaultConfig& faults);

    // A muted controller still reads (and records) requests but answers none.
    void setMuted(bool muted);
    bool muted() const;

    // Closes the line at once, as when a cable is pulled: the program's reads end (EIO or 0).
    // Returns when the line is closed.
    void hangUpNow();
    bool hungUp() const;
    // Waits until the line has hung up (fault option, hangUpNow, device lost); true if it has.
    bool waitHungUp(double timeoutSeconds) const;

    // The logged replies, oldest first.
    std::vector<ReplyRecord> replies() const;
    void clearReplies();
    // Bytes skipped while looking for a sync word, and partial frames dropped after a gap.
    std::size_t skippedBytes() const;
    std::size_t droppedPartials() const;
    // Uart model: request bytes the program wrote and then discarded with an output flush before
    // the controller had taken them off the line. Always 0 under the other models.
    std::size_t flushedRequestBytes() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
