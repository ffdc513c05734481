// Line times and the console log: the stamp in front of each line, one file
// a day, appending, failures told once, a burst written whole, a stalled
// disk that never holds the caller, and a log that survives its writer
// being killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
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

// Polls `done` for a few seconds: the writer works on its own thread.
template <typename Check>
bool eventually(Check done) {
    for (int waited = 0; waited < 5000; waited += 10) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The threads of this process.
std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

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
    // In the file without a stop: the writer flushes on its own.
    EXPECT_TRUE(eventually([&] { return testing::readBytes(in("mine.log")) == "before\n01:02:03.004 x=1\n"; }))
        << testing::readBytes(in("mine.log"));

    EXPECT_FALSE(log.startFile(in("no/such/folder.log")));
    EXPECT_FALSE(log.active());
    EXPECT_NE(log.problem().find("Cannot open the log"), std::string::npos) << log.problem();
}

// The writer finds the failure; the caller is told on its own thread, once,
// at its next hand-over or when it stops the log.
TEST_F(ConsoleLogFile, AWriteThatFailsStopsTheLogAndIsToldOnce) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const bool byStop : {false, true}) {
        SCOPED_TRACE(byStop ? "found at stop()" : "found at a later hand-over");
        ConsoleLog log;
        std::vector<std::string> told;
        const std::thread::id caller = std::this_thread::get_id();
        log.onStopped = [&](const std::string& why) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            told.push_back(why);
        };
        ASSERT_TRUE(log.startFile("/dev/full"));
        log.consoleBytesReceivedAt("a\n", wallClockMs());
        if (byStop) {
            log.stop();
        } else {
            EXPECT_TRUE(eventually([&] {
                log.consoleBytesReceivedAt("b\n", wallClockMs());
                return !log.active();
            }));
            log.consoleBytesReceivedAt("c\n", wallClockMs());
            log.stop();
        }
        EXPECT_FALSE(log.active());
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("Cannot write the log /dev/full"), std::string::npos) << told[0];
        EXPECT_EQ(log.problem(), told[0]);
    }
}

// Lines "line <from>" to "line <to - 1>", CR LF each.
std::string numberedLines(int from, int to) {
    std::string lines;
    for (int i = from; i < to; ++i) lines += "line " + std::to_string(i) + "\r\n";
    return lines;
}

// What a log holds, line by line: the numbers of the "line N" rows and the
// counts of the notes of bytes left out, checked for form and order.
struct LoggedRows {
    std::vector<int> numbers;
    std::vector<std::pair<int, long>> notes;  // (the number before, bytes)
    bool lastTorn = false;
};

LoggedRows readRows(const std::string& logged, bool tornEndAllowed) {
    LoggedRows rows;
    const std::regex row(R"((\d\d:\d\d:\d\d\.\d\d\d) (?:line (\d+)|\[(\d+) bytes not logged: the disk did not keep up\]))");
    std::string lastTime;
    std::size_t from = 0;
    while (from < logged.size()) {
        const std::size_t end = logged.find("\r\n", from);
        if (end == std::string::npos) {
            EXPECT_TRUE(tornEndAllowed) << "a torn last line";
            rows.lastTorn = true;
            break;
        }
        const std::string line = logged.substr(from, end - from);
        from = end + 2;
        std::smatch m;
        if (!std::regex_match(line, m, row)) {
            ADD_FAILURE() << "not a row of the log: " << line;
            break;
        }
        EXPECT_GE(m[1].str(), lastTime) << line;
        lastTime = m[1];
        if (m[2].matched) rows.numbers.push_back(std::stoi(m[2]));
        else rows.notes.emplace_back(rows.numbers.empty() ? 0 : rows.numbers.back(), std::stol(m[3]));
    }
    return rows;
}

TEST_F(ConsoleLogFile, StopAfterABurstLeavesEveryByteOnceInOrder) {
    ConsoleLog log;
    ASSERT_TRUE(log.startFile(in("burst.log")));
    constexpr int kChunks = 500, kLinesEach = 50;
    for (int c = 0; c < kChunks; ++c)
        log.consoleBytesReceivedAt(numberedLines(c * kLinesEach + 1, (c + 1) * kLinesEach + 1), wallClockMs());
    log.stop();
    EXPECT_TRUE(log.problem().empty()) << log.problem();
    const LoggedRows rows = readRows(testing::readBytes(in("burst.log")), false);
    EXPECT_TRUE(rows.notes.empty());
    ASSERT_EQ(rows.numbers.size(), std::size_t{kChunks * kLinesEach});
    for (std::size_t i = 0; i < rows.numbers.size(); ++i) ASSERT_EQ(rows.numbers[i], static_cast<int>(i) + 1);
}

// A FIFO nobody reads stands for a disk that stalls: the hand-overs go on
// at once, the log says so once, drops what does not fit, and once the disk
// takes bytes again the log counts in itself what it left out.
TEST_F(ConsoleLogFile, AStalledDiskNeverHoldsTheCallerAndTheLogCountsWhatItDropped) {
    const std::string fifo = in("stalled.log");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    constexpr std::size_t kLimit = 256 * 1024;
    ConsoleLog log(kLimit);
    std::atomic<bool> behind = false;
    std::vector<std::string> notes;
    log.onBehind = [&](const std::string& note) {
        notes.push_back(note);
        behind = true;
    };
    ASSERT_TRUE(log.startFile(fifo));

    // The reader wakes when the log says it is behind, or after a while in
    // any case, so that a log that waits for the disk is caught, not hung.
    std::string drained;
    std::thread drain([&] {
        for (int waited = 0; !behind && waited < 3000; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
        char block[65536];
        for (;;) {
            const ssize_t n = ::read(reader, block, sizeof block);
            if (n <= 0) break;
            drained.append(block, static_cast<std::size_t>(n));
        }
    });

    constexpr int kLinesEach = 100;
    int next = 1;
    auto handOver = [&] {
        const std::string chunk = numberedLines(next, next + kLinesEach);
        next += kLinesEach;
        const auto t0 = std::chrono::steady_clock::now();
        log.consoleBytesReceivedAt(chunk, wallClockMs());
        return std::chrono::steady_clock::now() - t0;
    };
    std::chrono::steady_clock::duration longest{};
    // Far more than the queue and the pipe hold, then some dropped ones.
    while (!behind && next < 400000) longest = std::max(longest, handOver());
    ASSERT_TRUE(behind) << "never said it was behind";
    for (int i = 0; i < 20; ++i) longest = std::max(longest, handOver());
    EXPECT_LT(longest, std::chrono::milliseconds(100)) << "a hand-over waited for the disk";
    // The reader now takes the bytes; the log resumes.
    for (int i = 0; i < 40; ++i) {
        handOver();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    log.stop();
    drain.join();
    ::close(reader);

    ASSERT_EQ(notes.size(), 1u) << "said once";
    EXPECT_NE(notes[0].find("does not keep up"), std::string::npos) << notes[0];
    EXPECT_TRUE(log.problem().empty()) << log.problem();
    const LoggedRows rows = readRows(drained, false);
    ASSERT_FALSE(rows.notes.empty());
    ASSERT_FALSE(rows.numbers.empty());
    EXPECT_EQ(rows.numbers.front(), 1);
    EXPECT_EQ(rows.numbers.back(), next - 1) << "the last hand-over is written by stop()";
    // Every gap in the numbers is a note counting exactly the bytes missing.
    std::size_t note = 0;
    for (std::size_t i = 1; i < rows.numbers.size(); ++i) {
        const int before = rows.numbers[i - 1], after = rows.numbers[i];
        ASSERT_LT(before, after);
        if (after == before + 1) continue;
        ASSERT_LT(note, rows.notes.size()) << "a gap after line " << before << " without a note";
        EXPECT_EQ(rows.notes[note].first, before);
        EXPECT_EQ(rows.notes[note].second, static_cast<long>(numberedLines(before + 1, after).size()));
        ++note;
    }
    EXPECT_EQ(note, rows.notes.size()) << "a note without a gap";
}

// A disk that holds the writer when the log stops does not hold the caller
// for long: the writer is let go to finish on its own, and that is said.
TEST_F(ConsoleLogFile, StopDoesNotWaitForeverForAStalledDisk) {
    ::signal(SIGPIPE, SIG_IGN);  // the writer's last write meets a closed FIFO
    const std::string fifo = in("stuck.log");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::size_t threadsBefore = threadCount();
    ConsoleLog log;
    std::vector<std::string> told;
    log.onStopped = [&](const std::string& why) { told.push_back(why); };
    ASSERT_TRUE(log.startFile(fifo));
    log.consoleBytesReceivedAt(numberedLines(1, 20000), wallClockMs());  // more than the pipe holds
    const auto t0 = std::chrono::steady_clock::now();
    log.stop();
    const auto waited = std::chrono::steady_clock::now() - t0;
    ::close(reader);
    EXPECT_FALSE(log.active());
    EXPECT_LT(waited, LogWriter::kDefaultFinishWait + std::chrono::seconds(5));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("is not written to the end yet"), std::string::npos) << told[0];
    // The writer let go meets the closed FIFO and ends on its own (and is
    // gone before the next test forks).
    EXPECT_TRUE(eventually([&] { return threadCount() <= threadsBefore; }));
}

// The process is killed while it logs: the file holds the lines it handed
// over, once and in order, all but those of the last second at most.
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
            log.consoleBytesReceivedAt(numberedLines(i, i + 1), wallClockMs());
            // Tells the parent how far it got once the hand-over returned.
            (void)!::write(report[1], &i, sizeof i);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ::close(report[1]);
    // When each line was reported handed over.
    std::vector<std::chrono::steady_clock::time_point> handedAt;
    const auto begin = std::chrono::steady_clock::now();
    int handedOver = 0;
    while ((handedOver < 200 || std::chrono::steady_clock::now() - begin < std::chrono::seconds(3)) &&
           ::read(report[0], &handedOver, sizeof handedOver) == sizeof handedOver)
        handedAt.resize(handedOver, std::chrono::steady_clock::now());
    const auto killedAt = std::chrono::steady_clock::now();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(report[0]);
    ASSERT_GE(handedOver, 200);
    int secondBefore = 0;
    while (secondBefore < handedOver && handedAt[secondBefore] <= killedAt - std::chrono::seconds(1)) ++secondBefore;
    ASSERT_GT(secondBefore, 0);

    const LoggedRows rows = readRows(testing::readBytes(path), true);
    EXPECT_TRUE(rows.notes.empty());
    for (std::size_t i = 0; i < rows.numbers.size(); ++i) ASSERT_EQ(rows.numbers[i], static_cast<int>(i) + 1);
    EXPECT_GE(static_cast<int>(rows.numbers.size()), secondBefore) << "more than the last second missing";
    EXPECT_LE(static_cast<int>(rows.numbers.size()), handedOver + 1);
}

}  // namespace
}  // namespace travin
