// Test entry: a GUI application on Qt's offscreen platform unless a display is chosen, set up as
// the program sets it up (a steady text cursor: a blinking one changes the screen by the clock),
// then GoogleTest. A control the harness cannot find or read fails the test that asked for it.
#include "runtime/events.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    op::UseOffscreenPlatform();
    QApplication app(argc, argv);
    StartRuntime();
    op::SetFailureReport([](const std::string& what) { ADD_FAILURE() << what; });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
