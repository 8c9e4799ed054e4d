// The link tests' scripted controller: a peer that answers the program's start-up, then runs the
// test's own steps, and the program started on it.
#pragma once

#include "tests/support/support.h"

#include <algorithm>
#include <functional>
#include <memory>

namespace evok {

using Script = std::function<void(sim::ScriptedPeer&)>;

// A peer that answers the start-up (page 0 starts with powerA 700), then runs the test's steps.
struct PeerProgram {
    explicit PeerProgram(const Script& more,
                         const sim::Bytes& firmware = sim::encodeFirmwareText("PEER FW 1.0")) {
        op::AnswerStartUp(peer, {700, 800, 400, 900}, firmware);
        more(peer);
        peer.start();
        program = std::make_unique<op::Program>(peer.devicePath());
    }
    // What the program wrote after the start-up's four requests, one 36-byte request at a time.
    std::vector<sim::Bytes> Sent() const {
        const sim::Bytes all = peer.receivedBytes();
        std::vector<sim::Bytes> requests;
        for (std::size_t at = 4 * 36; at < all.size(); at += 36)
            requests.emplace_back(all.begin() + at, all.begin() + std::min(all.size(), at + 36));
        return requests;
    }
    std::vector<std::uint16_t> SentOrders() const {
        std::vector<std::uint16_t> orders;
        for (const sim::Bytes& request : Sent())
            orders.push_back(op::OrderOf(request));
        return orders;
    }
    double Ms() const { return 1000 * sim::secondsBetween(start, sim::Clock::now()); }
    sim::ScriptedPeer peer;
    sim::Clock::time_point start = sim::Clock::now();
    std::unique_ptr<op::Program> program;
};

} // namespace evok
