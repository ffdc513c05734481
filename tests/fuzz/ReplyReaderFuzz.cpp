// Fuzz target: the board's side of whole operations, played in order over a
// real pseudo-terminal while the workbench runs them. The input chooses the
// operations (detection, detection without stopping, a download of up to
// three pages, an upload, a run with status polls and input requests, the
// speed change and back, stop), and for every sync the board's handshake
// (echo, console bytes then echo, busy, silence, each after a delay), and
// for every frame its reply (correct, or with a bad check byte, bit 6, a
// wrong length or none), the status bits, and how the reply is cut into
// chunks, each after its own delay (late bytes included), or a hang-up.
//
// Time is the harness's own: when the workbench waits and nothing is on
// the line, the clock jumps to the board's next chunk, or past every
// budget when the board sends nothing more; no real time-out is waited.
//
// Checked besides the sanitizers:
//   - one failure report per link failure, and after it the port closed
//     and the board not detected;
//   - a rejected reply changes none of the stores its reply data would
//     fill, nor the running flag;
//   - the board's console bytes are shown in order, each run of them whole
//     or not at all (a purge drops what waits), and no reply byte is shown
//     as console output;
//   - an upload that succeeds holds the program area up to its first zero.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "link/CommandLink.h"
#include "link/CommandTable.h"
#include "link/Console.h"
#include "link/Monitor.h"
#include "link/SerialDriver.h"
#include "tests/support/FakeScreens.h"

namespace {

using namespace travin;
using namespace travin::testing;
using Bytes = std::vector<std::uint8_t>;

bool tracing() {
    static const bool on = std::getenv("TRAVIN_FUZZ_DEBUG") != nullptr;
    return on;
}
#define TRACE(...)                                        \
    do {                                                  \
        if (tracing()) std::fprintf(stderr, __VA_ARGS__); \
    } while (0)

[[noreturn]] void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}
#define CHECK_THAT(cond) \
    do {                 \
        if (!(cond)) violated(#cond); \
    } while (0)

class Input {
public:
    Input(const std::uint8_t* d, std::size_t n) : data(d), size(n) {}
    std::uint8_t next() { return at < size ? data[at++] : 0; }
    bool done() const { return at >= size; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// The far end: a pseudo-terminal whose slave is reached as COM1 through a
// link in a folder of its own. The harness keeps a slave fd open, so the
// workbench closing the port never hangs the line up; hangUp() does.
struct Line {
    int master = -1;
    int slave = -1;
    std::string folder;

    Line() {
        char pattern[] = "/tmp/travin-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        folder = std::string(pattern) + "/";
        open();
    }
    ~Line() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    void open() {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) std::abort();
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        std::error_code ec;
        std::filesystem::remove(folder + "com1", ec);
        std::filesystem::create_symlink(::ttyname(slave), folder + "com1");
    }
    void hangUp() {
        ::close(master);
        ::close(slave);
        master = slave = -1;
    }
    bool up() const { return master >= 0; }
    void clean() {
        if (!up()) open();
        ::tcflush(slave, TCIOFLUSH);
        take();
    }
    int waiting() const {
        int n = 0;
        return slave >= 0 && ::ioctl(slave, TIOCINQ, &n) == 0 ? n : 0;
    }
    // What the workbench wrote; waits a moment for bytes still crossing.
    Bytes take(int waitMs = 0) {
        Bytes got;
        if (!up()) return got;
        if (waitMs > 0) {
            pollfd p{master, POLLIN, 0};
            ::poll(&p, 1, waitMs);
        }
        std::uint8_t buffer[512];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    // Puts the board's bytes on the line and waits (bounded) until the
    // slave holds them all.
    void put(const Bytes& bytes) {
        if (!up() || bytes.empty()) return;
        const int before = waiting();
        std::size_t off = 0;
        for (int tries = 0; off < bytes.size() && tries < 1000; ++tries) {
            const ssize_t w = ::write(master, bytes.data() + off, bytes.size() - off);
            if (w > 0) off += static_cast<std::size_t>(w);
            else ::poll(nullptr, 0, 1);
        }
        for (int tries = 0; waiting() < before + static_cast<int>(off) && tries < 1000; ++tries) ::poll(nullptr, 0, 1);
    }
};

constexpr int kAreaBytes = 232 * 128;

// The board, played from the input.
struct Board {
    struct Chunk {
        std::int64_t at;
        Bytes bytes;
        bool hangUp = false;
    };
    // One run of console bytes the board sent, in order.
    struct Segment {
        std::string bytes;
    };

    Input& in;
    Line& line;
    Workbench* wb = nullptr;
    std::deque<Chunk> pending;
    std::vector<Segment> segments;
    std::uint32_t consoleCounter = 0;
    Bytes area;

    enum { Idle, Code, Length, Payload, Checksum } state = Idle;
    std::uint8_t code = 0;
    Bytes payload;
    int left = 0;

    // Stores as they were when the frame of the exchange under way came.
    struct Stores {
        std::array<std::int32_t, kVariableCount> values{};
        int position = 0;
        Bytes upload;
        std::array<std::uint8_t, 24> startup{};
        std::array<char, 16> version{};
        std::array<char, 12> answer{};
        bool running = false;
        bool operator==(const Stores&) const = default;
    };
    Stores atFrame;
    bool frameUnderWay = false;
    int lastWaiting = 0;

    // What the input reached, for the count scripts/fuzz reports: a reply
    // whose data was stored, a speed change the board answered, a program
    // seen to stop (the link's ShowStopped).
    struct Reached {
        bool storedData = false;
        bool baudChanged = false;
        bool stopped = false;
    } reached;
    int answeredAtFrame = 0;
    bool frameHasData = false;
    std::uint8_t frameCode = 0;
    bool wasRunning = false;

    // Looks at what the last exchange did; at every frame and op's end.
    void observe() {
        if (wb->link.answeredExchanges() > answeredAtFrame) {
            if (frameHasData) reached.storedData = true;
            if (frameCode == command::ChangeBaud) reached.baudChanged = true;
        }
        answeredAtFrame = wb->link.answeredExchanges();
        frameHasData = false;
        frameCode = 0;
        // Only the reply handling clears running, and it runs ShowStopped
        // when it does; the failure path leaves running alone.
        if (wasRunning && !wb->state.running) reached.stopped = true;
        wasRunning = wb->state.running;
    }

    Board(Input& input, Line& l) : in(input), line(l) {
        area.assign(kAreaBytes, 0);
        const int length = in.next() * 4;
        for (int i = 0; i < length && i < kAreaBytes; ++i) area[i] = static_cast<std::uint8_t>(in.next() | 1);
    }

    Stores stores() const {
        const WorkbenchState& s = wb->state;
        return {s.variableValues, s.executingPosition, s.uploadStream, s.startupBlock, s.versionText, s.inputAnswer,
                s.running};
    }

    std::string consoleRun(int count) {
        std::string run;
        for (int i = 0; i < count; ++i) run += static_cast<char>('a' + consoleCounter++ % 26);
        segments.push_back({run});
        return run;
    }

    // Delays: mostly short, some past any budget (late bytes).
    std::int64_t delay(std::uint8_t d) const { return d < 200 ? d : std::int64_t{d - 199} * 180; }

    void onSync(std::int64_t now) {
        // A new sync ends what the board still had to say, and the last
        // exchange: its reply was taken or refused by now.
        pending.clear();
        frameUnderWay = false;
        const std::uint8_t h = in.next();
        TRACE("  sync at %lld: handshake %d delay %d\n", static_cast<long long>(now), h & 3, (h >> 5) * 40);
        const std::int64_t at = now + (h >> 5) * 40;
        switch (h & 3) {
        case 0:
            pending.push_back({at, {0xAA}});
            state = Code;
            break;
        case 1: {
            const std::string run = consoleRun(1 + (h >> 2) % 8);
            Bytes bytes(run.begin(), run.end());
            bytes.push_back(0xAA);
            pending.push_back({at, bytes});
            state = Code;
            break;
        }
        case 2:
            pending.push_back({at, {0xAB}});
            break;
        case 3:
            break;   // silence
        }
    }

    Bytes replyData(std::uint8_t c, const Bytes& p) {
        Bytes data;
        switch (c) {
        case command::GetVariables:
            for (int i = 0; i < 106; ++i) data.push_back(in.next());
            break;
        case command::GetInputPrompt:
        case command::GetVersion: {
            const int n = in.next() % 24;
            for (int i = 0; i < n; ++i) data.push_back(in.next());
            break;
        }
        case command::UploadBlock: {
            const int block = p.size() == 2 ? (p[0] | (p[1] << 8)) : 0;
            data = {p.size() == 2 ? p[0] : std::uint8_t{0}, p.size() == 2 ? p[1] : std::uint8_t{0}};
            for (int i = 0; i < 128; ++i) {
                const int at = block * 128 + i;
                data.push_back(at < kAreaBytes ? area[at] : 0);
            }
            break;
        }
        case command::GetStartupTime:
            for (int i = 0; i < 24; ++i) data.push_back(in.next());
            break;
        default:
            break;
        }
        return data;
    }

    void onFrame(std::int64_t now) {
        observe();
        atFrame = stores();
        frameUnderWay = true;
        frameCode = code;
        const std::uint8_t r = in.next();
        const std::uint8_t statusBits = in.next() & 0x30;
        const bool withData = code == command::GetVariables || code == command::GetInputPrompt ||
                              code == command::UploadBlock || code == command::GetStartupTime ||
                              code == command::GetVersion;
        Bytes reply;
        const int fault = r & 7;
        frameHasData = withData;
        TRACE("  frame code %d at %lld: fault %d status %02x\n", code, static_cast<long long>(now), fault, statusBits);
        if (fault == 7) return;   // no reply at all
        if (withData) {
            Bytes data = replyData(code, payload);
            if (fault == 6 && !data.empty()) data.pop_back();   // a byte short
            const std::uint8_t status = static_cast<std::uint8_t>(0x80 | statusBits);
            reply = {status, static_cast<std::uint8_t>(data.size())};
            std::uint8_t sum = static_cast<std::uint8_t>(status + data.size());
            for (auto b : data) {
                reply.push_back(b);
                sum = static_cast<std::uint8_t>(sum + b);
            }
            reply.push_back(fault == 5 ? static_cast<std::uint8_t>(sum + 1) : sum);
        } else {
            std::uint8_t status = statusBits;
            if (fault == 6) status |= 0x40;
            reply = {status, fault == 5 ? static_cast<std::uint8_t>(status ^ 1) : status};
        }
        // Cut into chunks, each after its own delay; a rare hang-up.
        const std::uint8_t cut = in.next();
        const int chunks = 1 + cut % 4;
        const bool hangUp = cut >= 0xF8;
        std::int64_t at = now;
        std::size_t off = 0;
        for (int i = 0; i < chunks && off < reply.size(); ++i) {
            at += delay(in.next());
            const std::size_t n = i + 1 == chunks ? reply.size() - off : 1 + in.next() % (reply.size() - off);
            pending.push_back({at, Bytes(reply.begin() + off, reply.begin() + off + n)});
            off += n;
            if (hangUp) {
                pending.back().hangUp = true;
                break;
            }
        }
    }

    void onBytes(const Bytes& bytes, std::int64_t now) {
        for (const std::uint8_t b : bytes) {
            switch (state) {
            case Idle:
                if (b == 0xAA) onSync(now);
                break;
            case Code:
                code = b;
                payload.clear();
                state = Length;
                break;
            case Length:
                left = b;
                state = left ? Payload : Checksum;
                break;
            case Payload:
                payload.push_back(b);
                if (--left == 0) state = Checksum;
                break;
            case Checksum:
                state = Idle;
                onFrame(now);
                break;
            }
        }
    }

    // The link looks at the clock: take what it wrote, then put the next
    // chunk on the line when its time has come. Returns the time to show.
    std::int64_t service(std::int64_t now) {
        // The link also looks at the clock right after it read bytes; only
        // a look with nothing read since the last one is a wait.
        const bool justRead = line.waiting() < lastWaiting;
        TRACE("  service at %lld: waiting %d (was %d)\n", static_cast<long long>(now), line.waiting(), lastWaiting);
        onBytes(line.take(), now);
        // The link writes a whole frame right after the echo; the bytes
        // cross the pseudo-terminal a moment later. Wait for them rather
        // than let the clock run on without them.
        if (!justRead) {
            for (int i = 0; i < 50 && pending.empty() && line.waiting() == 0 && state != Idle && line.up(); ++i)
                onBytes(line.take(10), now);
            if (pending.empty() && line.waiting() == 0 && state == Idle) onBytes(line.take(5), now);
        }
        const std::int64_t shown = release(now, justRead);
        lastWaiting = line.waiting();
        return shown;
    }

    std::int64_t release(std::int64_t now, bool justRead) {
        if (line.waiting() > 0 || justRead) return now;
        if (pending.empty()) {
            TRACE("  jump from %lld (state %d)\n", static_cast<long long>(now), static_cast<int>(state));
            return now + 20'000;   // nothing more comes: past every budget
        }
        Chunk chunk = pending.front();
        pending.pop_front();
        now = std::max(now, chunk.at);
        TRACE("  put %zu bytes at %lld:", chunk.bytes.size(), static_cast<long long>(now));
        for (auto b : chunk.bytes) TRACE(" %02x", b);
        TRACE("%s\n", chunk.hangUp ? " and hang up" : "");
        line.put(chunk.bytes);
        if (chunk.hangUp) {
            line.hangUp();
            pending.clear();
        }
        return now;
    }

    // Power cycled: the link failed and closed the port.
    void reset() {
        pending.clear();
        lastWaiting = 0;
        state = Idle;
        frameUnderWay = false;
    }
};

class BoardClock : public Clock {
public:
    Board* board = nullptr;
    std::int64_t now = 1'000'000;
    std::int64_t nowMs() override {
        if (board) now = board->service(now);
        return now;
    }
    void sleepMs(int ms) override { now += ms; }
};

class ShownBytes : public ConsoleBytesListener {
public:
    std::string bytes;
    void consoleBytesReceived(std::string_view b) override { bytes.append(b); }
};

// Shown must be the segments in order, each whole or left out.
bool consoleInOrder(const std::string& shown, const std::vector<Board::Segment>& segments) {
    std::size_t at = 0;
    for (const auto& segment : segments) {
        if (shown.compare(at, segment.bytes.size(), segment.bytes) == 0) at += segment.bytes.size();
    }
    return at == shown.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Line line;
    line.clean();
    Input in(data, size);

    FakeListing listing;
    FakeConsole console;
    FakeNotices notices;
    FakeMainView main;
    FakeTimer timer;
    BoardClock clock;
    FakeDesktop desktop;
    Workbench wb(Screens{listing, console, notices, main, timer, clock, desktop}, line.folder);
    ShownBytes shown;
    wb.console.setBytesListener(&shown);
    Board board(in, line);
    board.wb = &wb;
    clock.board = &board;

    WorkbenchState& s = wb.state;
    bool openSinceReport = false;
    int failures = 0;
    bool failedInOp = false;
    notices.onNotice = [&](const std::string& text) {
        TRACE("  notice: %s\n", text.c_str());
        if (text.rfind("Serial Communications Error (", 0) != 0) return;
        ++failures;
        failedInOp = true;
        CHECK_THAT(openSinceReport);   // one report per failure
        openSinceReport = false;
        CHECK_THAT(s.portHandle == kInvalidHandle);
        CHECK_THAT(!s.detected);
        if (board.frameUnderWay) {
            Board::Stores now = board.stores();
            // Leaving running as it was is the failure path's own rule.
            CHECK_THAT(now == board.atFrame);
        }
        board.reset();
    };
    auto openPort = [&] {
        if (s.portHandle != kInvalidHandle) return;
        if (!line.up()) line.open();
        s.portHandle = wb.serial.SioOpen("COM1", 19200);
        if (s.portHandle == kInvalidHandle) std::abort();
        s.selectedPort = s.openPort = 1;
        s.reopenRequested = false;
        openSinceReport = true;
    };
    // A listing of n pages' worth of lines.
    auto listingOfPages = [&](int pages) {
        std::vector<std::string> lines;
        int bytes = 0;
        for (int i = 0; bytes < (pages - 1) * 128 + 40; ++i) {
            lines.push_back("print " + std::to_string(i) + "  ' line of a program");
            bytes += static_cast<int>(lines.back().size()) + 2;
        }
        listing.setLines(lines);
    };

    for (int op = 0; op < 8 && !in.done(); ++op) {
        openPort();
        failedInOp = false;
        board.frameUnderWay = false;
        const std::uint8_t what = in.next();
        TRACE("op %d (%d) detected %d running %d\n", what % 7, what, s.detected, s.running);
        // Output the board printed between exchanges.
        if (what & 0x80) {
            const std::string run = board.consoleRun(1 + (what >> 4) % 8);
            line.put(Bytes(run.begin(), run.end()));
        }
        switch (what % 7) {
        case 0:
            s.probeTickCount = Monitor::kProbePeriod;
            s.statusTickCount = 2;
            wb.monitor.BackgroundProcessTimer();
            break;
        case 1:
            wb.monitor.DetectWithoutStopping();
            break;
        case 2:
            listingOfPages(1 + in.next() % 3);
            s.downloadNeeded = true;
            wb.download.DownloadProgram();
            break;
        case 3: {
            notices.answers = {Answer::Yes};
            wb.memory.UploadMenuClick();
            if (!failedInOp && s.detected && s.uploadEnd) {
                const auto end = std::find(board.area.begin(), board.area.end(), 0);
                CHECK_THAT(s.uploadStream == Bytes(board.area.begin(), end));
            }
            break;
        }
        case 4: {
            listing.setLines({"print 1", "input A", "end"});
            s.downloadNeeded = false;
            wb.execution.DebuggerRunExecute();
            const int polls = 1 + in.next() % 4;
            for (int i = 0; i < polls; ++i) {
                notices.inputAnswers = {std::string("7")};
                s.statusTickCount = Monitor::kStatusPeriod;
                wb.monitor.BackgroundProcessTimer();
            }
            break;
        }
        case 5:
            if (wb.monitor.ChangeBaudRate(115200)) wb.monitor.ChangeBaudRate(19200);
            break;
        case 6:
            wb.execution.DebuggerStopExecute();
            break;
        }
        wb.console.flush();
        board.observe();
    }
    wb.console.flush();
    if (std::getenv("TRAVIN_FUZZ_COUNT")) {
        std::fprintf(stderr, "reached: StoreReplyData %d ChangeBaudRate %d ShowStopped %d\n",
                     board.reached.storedData, board.reached.baudChanged, board.reached.stopped);
    }
    if (!consoleInOrder(shown.bytes, board.segments) && std::getenv("TRAVIN_FUZZ_DEBUG")) {
        std::string hex;
        for (unsigned char c : shown.bytes) hex += std::to_string(c) + " ";
        std::fprintf(stderr, "shown: %s\n", hex.c_str());
        for (const auto& segment : board.segments) std::fprintf(stderr, "segment: %s\n", segment.bytes.c_str());
    }
    CHECK_THAT(consoleInOrder(shown.bytes, board.segments));
    (void)failures;

    clock.board = nullptr;
    if (s.portHandle != kInvalidHandle) wb.serial.SioClose(s.portHandle);
    return 0;
}
