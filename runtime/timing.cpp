#include "runtime/timing.h"

#include <chrono>
#include <thread>

double Timer() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int Delay(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 0;
}
