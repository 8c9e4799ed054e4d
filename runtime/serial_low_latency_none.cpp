// Platforms whose serial drivers take no low-latency request: ports open as they are.
#include "runtime/serial_device.h"

namespace serial_detail {

bool beginLowLatency(std::intptr_t) {
    return false;
}

void endLowLatency(std::intptr_t) {}

} // namespace serial_detail
