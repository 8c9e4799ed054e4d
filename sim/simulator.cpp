#include "sim/simulator.h"

namespace sim {

Simulator::Simulator() : Simulator(Options{}) {}

Simulator::Simulator(Options options)
    : model_(std::make_unique<ControllerModel>(std::move(options.model))),
      line_(std::make_unique<LineEndpoint>(*model_, std::move(options.line))) {
    line_->start();
}

Simulator::~Simulator() {
    stop();
}

void Simulator::stop() {
    line_->stop();
}

} // namespace sim
