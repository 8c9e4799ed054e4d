#include "tests/support/support.h"

#include <fstream>
#include <iterator>

namespace op {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void ProgramWithSim::SetUp() {
    sim::Simulator::Options options;
    options.line.pacing = Paced();
    options.line.model = Model();
    sim_ = std::make_unique<sim::Simulator>(options);
    program_ = std::make_unique<Program>(sim_->devicePath());
    ASSERT_EQ(program_->startResult(), 0);
}

void ProgramWithSim::TearDown() {
    program_.reset();
    sim_.reset();
}

std::vector<std::uint16_t> ProgramWithSim::Orders() const {
    std::vector<std::uint16_t> orders;
    for (const sim::RequestRecord& request : sim_->model().requests())
        orders.push_back(request.order);
    return orders;
}

} // namespace op
