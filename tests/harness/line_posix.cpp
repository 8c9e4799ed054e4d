#include "tests/harness/program.h"

#include <stdexcept>
#include <unistd.h>

namespace op {

PluggableLine::PluggableLine(std::string link, bool paced, sim::LineModel model)
    : link_(std::move(link)), paced_(paced), model_(std::move(model)) {
    plugIn();
}

PluggableLine::~PluggableLine() {
    sim_.reset();
    ::unlink(link_.c_str());
}

void PluggableLine::unplug() {
    if (sim_) sim_->line().hangUpNow();
    ::unlink(link_.c_str());
    plugged_ = false;
}

void PluggableLine::plugIn(const sim::LineModel& model) {
    model_ = model;
    plugIn();
}

void PluggableLine::plugIn() {
    unplug();
    sim_.reset();
    sim::Simulator::Options options;
    options.line.pacing = paced_;
    options.line.model = model_;
    sim_ = std::make_unique<sim::Simulator>(options);
    if (::symlink(sim_->devicePath().c_str(), link_.c_str()) != 0)
        throw std::runtime_error("cannot link " + link_ + " to " + sim_->devicePath());
    plugged_ = true;
}

} // namespace op
