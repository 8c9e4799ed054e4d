// The program evok-vx12-sim as a user starts it.
#include "serial_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace simtest;

const std::string kProgram = "evok-vx12-sim";

TEST(SimProgram, HelpExitsZero) {
    ChildProcess p(programPath(kProgram), {"--help"});
    const std::string out = p.readAll(5.0);
    EXPECT_EQ(p.wait(5.0), 0);
    EXPECT_NE(out.find("Usage: evok-vx12-sim"), std::string::npos);
    EXPECT_NE(out.find("--link PATH"), std::string::npos);
}

TEST(SimProgram, BadOptionsExitTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"},
          {"--drop", "1.5"},
          {"--delay", "0.5"},
          {"--firmware", "123456789012345678901234567890123"},
          {"--seed"}}) {
        ChildProcess p(programPath(kProgram), args);
        EXPECT_EQ(p.wait(5.0), 2) << args[0];
    }
}

TEST(SimProgram, ServesEchoOverItsLinkAndCleansUp) {
    char tmpl[] = "/tmp/evok-sim-prog-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    const std::string link = (dir / "controller").string();
    {
        ChildProcess p(programPath(kProgram), {"--link", link, "--firmware", "PROG TEST 1"});
        const auto line = p.readLine(5.0);
        ASSERT_TRUE(line) << "no device line";
        EXPECT_EQ(line->rfind("evok-vx12-sim: controller on " + link + " (link to /dev/pts/", 0),
                  0u)
            << *line;
        EXPECT_NE(line->find("paced at 19200 baud"), std::string::npos) << *line;
        ASSERT_TRUE(std::filesystem::is_symlink(link));

        SerialClient port(link);
        port.write(frame(5, {0, 1, 2}));
        EXPECT_EQ(port.read(36, 2.0).bytes, frame(5, {0x00AA, 1, 2}));
        port.write(frame(7, {}));
        const auto fw = port.read(64, 2.0).bytes;
        ASSERT_EQ(fw.size(), 64u);
        std::string text;
        for (std::size_t i = 1; i < fw.size() && fw[i]; i += 2)
            text.push_back(char(fw[i]));
        EXPECT_EQ(text, "PROG TEST 1");

        p.signal(SIGTERM);
        EXPECT_EQ(p.wait(5.0), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
            << "link removed at exit";
        EXPECT_TRUE(port.readUntilQuiet(1.0, 0.1).hungUp) << "the line ends with the program";
    }
    std::filesystem::remove_all(dir);
}

} // namespace
