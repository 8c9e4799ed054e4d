// The program evok-vx12-sim as a user starts it: --help, a line model it refuses, then a run on
// a latency-timer line that answers over its link and ends cleanly on SIGTERM, taking its line
// and its link with it.
#include "serial_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(SimProgram, HelpsAnswersOverItsLinkAndEndsCleanly) {
    const std::string program =
        (fs::read_symlink("/proc/self/exe").parent_path() / "evok-vx12-sim").string();
    EXPECT_EQ(std::system((program + " --help > /dev/null").c_str()), 0);
    EXPECT_NE(std::system((program + " --line latency:256 2> /dev/null").c_str()), 0);

    const std::string link = testing::TempDir() + "evok-sim-link-" + std::to_string(getpid());
    const char* argv[] = {program.c_str(), "--link", link.c_str(), "--line", "latency:32", nullptr};
    pid_t pid = -1;
    ASSERT_EQ(
        posix_spawn(&pid, program.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    for (int i = 0; i < 500 && !fs::is_symlink(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!fs::is_symlink(link)) kill(pid, SIGKILL);
    ASSERT_TRUE(fs::is_symlink(link)) << "the program made no link";
    simtest::Port port(link);
    port.write(simtest::frame(5, {0, 1, 2}));
    EXPECT_EQ(port.read(36, 2.0).bytes, simtest::frame(5, {0x00AA, 1, 2}));
    kill(pid, SIGTERM);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(port.read(1, 1.0).hungUp) << "the line ends with the program";
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link is removed at exit";
}

} // namespace
