// Test support, a leaf that only tests link: the GoogleTest entry (test_main.cpp), which turns
// the harness's complaints into test failures, and the fixture of a test with the program started
// on the simulator.
#pragma once

#include "tests/harness/operator.h"
#include "tests/harness/program.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace op {

// A test with the simulator (unpaced unless Paced(), on the line Model()) and the program
// started on it.
class ProgramWithSim : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual bool Paced() const { return false; }
    virtual sim::LineModel Model() const { return {}; }

    // The order codes of the requests the controller received since the last ClearRequests.
    std::vector<std::uint16_t> Orders() const;
    void ClearRequests() { sim_->model().clearRequests(); }

    std::unique_ptr<sim::Simulator> sim_;
    std::unique_ptr<Program> program_;
};

// The whole of a file, byte for byte (empty when it cannot be read).
std::string FileBytes(const std::string& path);

} // namespace op
