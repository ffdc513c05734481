// Line times and the console log: the stamp in front of each line, one file
// a day, appending, failures told once, and a log that survives its writer
// being killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <thread>

#include "core/ConsoleLog.h"
#include "core/LineTimes.h"
#include "tests/support/TestFolder.h"

namespace travin {
namespace {

// Local noon of 9 December 2026 and the next day, as wall-clock milliseconds.
std::int64_t localWallMs(int day, int hour, int minute, int second, int millis) {
    std::tm parts{};
    parts.tm_year = 2026 - 1900;
    parts.tm_mon = 11;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts)) * 1000 + millis;
}

TEST(LineTimes, TimeOfDayAndDayAreLocal) {
    const std::int64_t at = localWallMs(9, 7, 5, 3, 42);
    EXPECT_EQ(timeOfDay(at), "07:05:03.042");
    EXPECT_EQ(calendarDay(at), "2026-12-09");
    EXPECT_EQ(localMsOfDay(at), ((7 * 60 + 5) * 60 + 3) * 1000 + 42);
    EXPECT_EQ(timeOfDayFromMs(localMsOfDay(at)), timeOfDay(at));
    EXPECT_TRUE(std::regex_match(timeOfDay(wallClockMs()), std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)")));
}

struct StampRow {
    const char* name;
    std::vector<std::string> feeds;  // each fed at 12:00:00.<100 * index>
    std::string stamped;
};
void PrintTo(const StampRow& r, std::ostream* os) { *os << r.name; }

class Stamper : public ::testing::TestWithParam<StampRow> {};

TEST_P(Stamper, EachLineBehindTheTimeItsFirstByteCame) {
    LineStamper stamper;
    std::string out;
    for (std::size_t i = 0; i < GetParam().feeds.size(); ++i)
        stamper.stamp(GetParam().feeds[i], localWallMs(9, 12, 0, 0, static_cast<int>(100 * i)), out);
    EXPECT_EQ(out, GetParam().stamped);
}

INSTANTIATE_TEST_SUITE_P(Table, Stamper, ::testing::Values(
    StampRow{"lines_in_one_feed", {"a\r\nb\r\n"}, "12:00:00.000 a\r\n12:00:00.000 b\r\n"},
    StampRow{"line_split_across_feeds", {"ab", "c\r\nd"}, "12:00:00.000 abc\r\n12:00:00.100 d"},
    StampRow{"the_stamp_waits_for_the_first_byte", {"a\n", "", "b\n"}, "12:00:00.000 a\n12:00:00.200 b\n"},
    StampRow{"empty_lines_are_stamped", {"\n\n"}, "12:00:00.000 \n12:00:00.000 \n"},
    StampRow{"every_byte_kept", {std::string("\x80\x9d\xff\0\r", 5) + "\n"},
             "12:00:00.000 " + std::string("\x80\x9d\xff\0\r", 5) + "\n"}
), [](const auto& info) { return std::string(info.param.name); });

class ConsoleLogFile : public ::testing::Test {
protected:
    void SetUp() override { folder = testing::freshTestFolder("travin-log"); }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string in(const std::string& name) const { return (folder / name).string(); }
    std::filesystem::path folder;
};

TEST_F(ConsoleLogFile, OneFileADayInAFolderItMakesALineBeginningAfterMidnightGoesToTheNext) {
    ConsoleLog log;
    const std::string logs = in("state/travin/logs/");
    ASSERT_TRUE(log.startDaily(logs, localWallMs(9, 23, 59, 59, 900))) << log.problem();
    EXPECT_EQ(log.path(), logs + "travin-2026-12-09.log");
    log.consoleBytesReceivedAt("late\r\nhalf", localWallMs(9, 23, 59, 59, 950));
    log.consoleBytesReceivedAt(" done\r\nearly\r\n", localWallMs(10, 0, 0, 0, 50));
    EXPECT_EQ(log.path(), logs + "travin-2026-12-10.log");
    log.stop();
    EXPECT_EQ(testing::readBytes(logs + "travin-2026-12-09.log"),
              "23:59:59.950 late\r\n23:59:59.950 half done\r\n");
    EXPECT_EQ(testing::readBytes(logs + "travin-2026-12-10.log"), "00:00:00.050 early\r\n");

    // Started again the same day, it appends.
    ASSERT_TRUE(log.startDaily(logs, localWallMs(10, 8, 0, 0, 0)));
    log.consoleBytesReceivedAt("again\r\n", localWallMs(10, 8, 0, 0, 1));
    log.stop();
    EXPECT_EQ(testing::readBytes(logs + "travin-2026-12-10.log"), "00:00:00.050 early\r\n08:00:00.001 again\r\n");
}

TEST_F(ConsoleLogFile, APickedFileIsAppendedToAndAFileThatCannotBeOpenedIsSaid) {
    testing::writeBytes(in("mine.log"), "before\n");
    ConsoleLog log;
    ASSERT_TRUE(log.startFile(in("mine.log")));
    log.consoleBytesReceivedAt("x=1\n", localWallMs(9, 1, 2, 3, 4));
    EXPECT_EQ(testing::readBytes(in("mine.log")), "before\n01:02:03.004 x=1\n") << "written at once";

    EXPECT_FALSE(log.startFile(in("no/such/folder.log")));
    EXPECT_FALSE(log.active());
    EXPECT_NE(log.problem().find("Cannot open the log"), std::string::npos) << log.problem();
}

TEST_F(ConsoleLogFile, AWriteThatFailsStopsTheLogAndIsToldOnce) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    ConsoleLog log;
    std::vector<std::string> told;
    log.onStopped = [&](const std::string& why) { told.push_back(why); };
    ASSERT_TRUE(log.startFile("/dev/full"));
    log.consoleBytesReceivedAt("a\n", wallClockMs());
    log.consoleBytesReceivedAt("b\n", wallClockMs());
    EXPECT_FALSE(log.active());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Cannot write the log /dev/full"), std::string::npos) << told[0];
}

// The writer is killed while it logs: every line it had handed over before
// the kill is in the file, once, in order.
TEST_F(ConsoleLogFile, SurvivesTheKillOfItsWriter) {
    const std::string path = in("killed.log");
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ConsoleLog log;
        if (!log.startFile(path)) ::_exit(2);
        for (int i = 1;; ++i) {
            const std::string line = "line " + std::to_string(i) + "\r\n";
            log.consoleBytesReceivedAt(line, wallClockMs());
            // Tells the parent how far it got once the hand-over returned.
            (void)!::write(report[1], &i, sizeof i);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ::close(report[1]);
    int handedOver = 0;
    while (handedOver < 200 && ::read(report[0], &handedOver, sizeof handedOver) == sizeof handedOver) {
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // Whatever was reported after the one read last is in the file too.
    int later = 0;
    while (::read(report[0], &later, sizeof later) == sizeof later) handedOver = later;
    ::close(report[0]);
    ASSERT_GE(handedOver, 200);

    const std::string logged = testing::readBytes(path);
    std::size_t from = 0;
    int count = 0;
    std::string lastTime;
    while (from < logged.size()) {
        const std::size_t end = logged.find("\r\n", from);
        ASSERT_NE(end, std::string::npos) << "a torn last line";
        const std::string line = logged.substr(from, end - from);
        ++count;
        ASSERT_EQ(line.substr(13), "line " + std::to_string(count));
        ASSERT_GE(line.substr(0, 12), lastTime);
        lastTime = line.substr(0, 12);
        from = end + 2;
    }
    EXPECT_GE(count, handedOver);
    EXPECT_LE(count, handedOver + 1) << "at most the line being handed over at the kill";
}

}  // namespace
}  // namespace travin
