// A byte-exact peer for single test cases, on a pseudo-terminal of its own: a script of steps
// run in order on a thread, e.g. "expect a 36-byte request, then reply with these 20 bytes after
// 0.3 s". Each step's time counts from the end of the step before it. Everything the program
// writes is recorded with its arrival time, during the script and after it. A line model other
// than Pty makes the peer's line behave like that line: replies paced and handed over as it
// hands them over, and under Uart the program's bytes taken off at the line's pace.
#pragma once

#include "sim/clock.h"
#include "sim/frame.h"
#include "sim/line_model.h"

#include <memory>
#include <string>
#include <vector>

namespace sim {

class ScriptedPeer {
public:
    struct Chunk {
        Bytes bytes;
        Clock::time_point at; // when the read returned (Uart: when its last byte was carried)
    };
    struct StepRecord {
        std::string what; // "expect 36", "reply 20", "pause", "hang-up"
        bool ok = false;  // an expect got its bytes in time; other steps always ok
        Clock::time_point done;
        Bytes bytes; // an expect's bytes (what came, complete or not)
    };

    // Creates the pseudo-terminal; throws std::runtime_error when it cannot. The default Pty
    // model hands every byte over at once.
    explicit ScriptedPeer(LineModel model = {});
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    const std::string& devicePath() const;

    // Script building, before start(). Times are in seconds.
    // Waits for `count` bytes; a step that does not get them within the timeout fails and ends
    // the script. Bytes beyond `count` stay for the next expect. Under Uart a byte counts once
    // carried, and bytes the program's output flush discarded never count (see flushedBytes()).
    ScriptedPeer& expect(std::size_t count, double timeoutSeconds);
    // Writes the bytes at once, `afterSeconds` after the previous step ended. Under another model
    // they start on the wire then, at 19200 baud, and are handed over as the model does; the
    // step ends with the last hand-over.
    ScriptedPeer& reply(Bytes bytes, double afterSeconds = 0);
    // Writes the bytes as a line of `baud` baud (10 bits a byte) would deliver them: byte k
    // at start + (k + 1) byte times, in bursts of at most `burstBytes` (an adapter model hands
    // them over on its own terms).
    ScriptedPeer& replyPaced(Bytes bytes, double afterSeconds = 0, unsigned baud = kLineBaud,
                             std::size_t burstBytes = 1);
    // Waits (still recording what comes).
    ScriptedPeer& pause(double seconds);
    // Closes the line: the program's reads end (EIO or 0).
    ScriptedPeer& hangUp(double afterSeconds = 0);

    // Runs the script on the peer's thread (once).
    void start();
    // Waits until the script has ended; true when it ran to its end with every expect met.
    bool waitDone(double timeoutSeconds);
    bool finished() const;
    // Why the script failed ("" while it has not).
    std::string failure() const;

    Clock::time_point startedAt() const;
    std::vector<StepRecord> steps() const;
    std::vector<Chunk> received() const;
    // All received bytes in order.
    Bytes receivedBytes() const;
    // Uart model: the bytes the program wrote and then discarded with an output flush before
    // they were carried, oldest first.
    Bytes flushedBytes() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
