// A program that only starts the run-time, for the start-up test: exit code 10 when the GUI
// started, 20 when StartRuntime reported that it cannot start one.
#include "runtime/events.h"

int main() {
    return StartRuntime() == 1 ? 10 : 20;
}
