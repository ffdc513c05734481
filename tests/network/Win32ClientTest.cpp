// The Windows client, cross-built by the suite, run under Wine against a
// virtual board behind a real ser2net: its Winsock half connects, talks
// Telnet with the COM-PORT option, changes the speed for a download and
// reads the program back, as the POSIX half does. Skipped where Wine,
// ser2net or the cross-built client is missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Ser2net.h"
#include "board/VirtualBoard.h"
#include "tests/support/CliProcess.h"
#include "tests/support/TestFolder.h"

namespace travin::testing {
namespace {

using clitest::CliProcess;
using clitest::Launch;
using clitest::Outcome;

std::string wineProgram() {
    for (const char* candidate : {"/usr/bin/wine64", "/usr/bin/wine", "/usr/lib/wine/wine64"}) {
        if (::access(candidate, X_OK) == 0) return candidate;
    }
    return {};
}

// Windows writes its line ends as CR LF.
std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// A Unix path as Wine's drive Z: names it.
std::string onDriveZ(const std::filesystem::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

TEST(WindowsClient, ReachesTheBoardThroughSer2netAndChangesTheSpeedForADownload) {
    const std::string wine = wineProgram();
    if (wine.empty()) GTEST_SKIP() << "Wine is not installed (scripts/setup installs it)";
    if (Ser2net::executable().empty()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    if (!std::filesystem::exists(TRAVIN_WIN32_CLI_EXE)) GTEST_SKIP() << TRAVIN_WIN32_CLI_EXE << " was not built";

    const std::filesystem::path folder = freshTestFolder("win32-net");
    // Wine's own folder is kept beside the build: making it takes a while.
    ::setenv("WINEPREFIX", TRAVIN_WINE_PREFIX, 1);
    ::setenv("WINEDEBUG", "-all", 1);
    vboard::BoardOptions o;
    o.eepromPath = (folder / "board.eeprom").string();
    o.pageWriteMs = 0;
    o.eraseMs = 0;
    o.powerOnRun = false;
    vboard::VirtualBoard board(o);
    board.start();
    Ser2net server(folder, board.slavePath());
    ASSERT_TRUE(server.start());

    Launch underWine;
    underWine.program = {wine, TRAVIN_WIN32_CLI_EXE};
    auto run = [&](const std::vector<std::string>& args) { return CliProcess(args, underWine).finish(240); };

    Outcome result = run({"--port", server.url(), "detect"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(withoutCr(result.out), "Travin VB 1.0\n");

    std::string text;
    for (int i = 0; i < 40; ++i) text += "print \"line " + std::to_string(i) + " of the program\"\r\n";
    text += "end\r\n";
    writeBytes(folder / "program.tn", text);
    result = run({"--port", server.url(), "download", onDriveZ(folder / "program.tn")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(board.program(), text);
    bool fast = false;
    for (const auto& e : board.record().exchanges()) fast = fast || e.baud == 115200;
    EXPECT_TRUE(fast) << "pages crossed at 115200: ser2net applied the speed the client asked for";

    result = run({"--port", server.url(), "upload", "-o", onDriveZ(folder / "copy.tn")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(clitest::readFile((folder / "copy.tn").string()), text);

    // Nothing listening: refused, and said so.
    const int closed = Ser2net::freePort();
    result = run({"--port", "rfc2217://127.0.0.1:" + std::to_string(closed), "detect"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("connection refused"), std::string::npos) << result.err;

    server.stop();
    board.stop();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace travin::testing
