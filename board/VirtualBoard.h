// The virtual board: the board's side of the serial link on a real
// pseudo-terminal, answering on its own thread.
//
// Index:
//   BoardOptions         how to start it (image, link, timings, pacing, hooks)
//   StallAt              where a stall fault swallows an exchange
//   VirtualBoard         start()/stop(), slavePath(), record(), inspection,
//                        steering and fault injection
//
// Lifecycle. start() loads (or creates) the EEPROM image, takes the lock
// <linkDir>/com<N>.lock when a link is asked for (refusing a second board on
// the same number), creates the pseudo-terminal (raw at once), points
// <linkDir>/com<N> at its slave and starts the board thread. stop() ends the
// thread, closes the master and removes the link and the lock. start()
// again restarts the board on the same image (a power cycle); the slave path
// is then a new one. The destructor stops. start() throws std::runtime_error
// with a readable message when the image, the lock, the link or the
// pseudo-terminal cannot be made.
//
// The protocol, as this board answers it:
//   - A sync 0xAA is answered by 0xAB while the board is busy, otherwise by
//     waiting console output and then the echo 0xAA. It is busy for eraseMs
//     after an EraseProgram reply. A page (DownloadBlock) is written in the
//     pageWriteMs after its reply while the next frame crosses the line, so
//     a sync is answered busy only when a whole page sent after it would
//     still find that write going; a frame that completes sooner waits for
//     the write before it is executed. With busyWhileWriting the board is
//     instead busy for the whole pageWriteMs after every page.
//     Other bytes between exchanges are line noise and dropped.
//   - After the echo the frame (code, N, payload, checksum) must arrive
//     within frameTimeoutMs of the echo, else it is dropped (DroppedFrame)
//     and the board waits for the next sync.
//   - A bad checksum is answered S|0x40, S|0x40 and the command is not
//     executed. Status bits: 0x80 data follows, 0x20 running, 0x10 waiting
//     for input, 0x01 the board refused the command (unknown code, payload
//     of the wrong length, page/block/variable number or rate out of
//     range, or an EEPROM image that could not be written for a
//     DownloadBlock, EraseProgram or SetStartupTime); a refused command
//     changes nothing. A refusal for the image also goes to onFault.
//   - RunProgram and StepProgram always reply with 0x20 set.
//   - UploadBlock replies: the block number (16-bit) in the two unused bytes,
//     then the 128 bytes of the area. EraseProgram zeroes the area.
//     ChangeBaud accepts 1200..230400 (the nine usual rates) and switches
//     after its reply. SendInput takes the text before the first zero byte.
//     SendAci is handed to the executor whether or not the program runs.
//   - Console output of the program is written only between exchanges and
//     just before an echo, never between an echo and the end of a reply.
//
// The line. The board reads the rate the far side has set (tcgetattr on the
// master reports the slave's termios) whenever bytes arrive, and drops every
// byte received while that rate differs from its own (noiseBytes()), as a
// real board would see garbage; it writes nothing while they differ. When
// the last slave fd closes (the workbench closes the port) the board keeps
// running, writes nothing until a slave is open again, drops any partial
// frame and, by default, returns to 19200 bit/s: the workbench's close and
// reopen after a link failure stands for the power cycle it asks the user
// for. Bytes the board would have sent meanwhile are lost, as on a line
// nobody listens to.
//
// Pacing (BoardOptions::pace, off by default here; travin-board turns it on):
// bytes are sent no faster than
// 10 bits per byte at the board's rate, and each received byte counts as
// arrived only 10 bit times after the one before it.
//
// Power-on: after start() the board waits its start-up time (byte 0 of the
// start-up block, in seconds, or BoardOptions::startupMs) and then runs the
// stored program if there is one, unless a sync has been echoed first.
//
// The record. Every exchange, sync, dropped frame and noise byte goes into
// record() (which keeps the latest BoardOptions::recordLimits' worth)
// before the board writes its answer, so a client that has read a
// reply always finds its exchange there (replyMs is when the last byte has
// left, paced or not). Console bytes are recorded as they are written.
// record().clear() forgets everything; waitFor...() block without spinning.
//
// Run rules (RunControl.h): Run/Step reply with 0x20, a breakpoint stops the
// program before its line (the first statement after a Reset included; a
// Run resuming from a breakpoint passes over it), Stop halts at once, Reset
// sets position 0 and clears the variables, and a Run or Step after the
// program ended starts again from position 0.
//
// Threads. All public methods are thread-safe. Callbacks in BoardOptions run
// on the board thread and must not call back into the board.
#pragma once

#include "board/Eeprom.h"
#include "board/Pty.h"
#include "board/RunControl.h"
#include "board/WireRecord.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vboard {

struct BoardOptions {
    std::string eepromPath = "board.eeprom";
    std::string linkDir;          // where com<N> and com<N>.lock go; empty: no link
    int comNumber = 1;
    int pageWriteMs = 5;          // write time of each DownloadBlock page
    bool busyWhileWriting = false;  // busy for the whole write instead of overlapping it
    int eraseMs = 300;            // busy after EraseProgram
    int frameTimeoutMs = 1000;    // a frame must be complete this long after the echo
    bool powerOnRun = true;       // run the stored program after the start-up time
    int startupMs = -1;           // start-up wait; -1: byte 0 of the start-up block, in s
    bool pace = false;            // wire pacing, 10 bits per byte
    int linesPerSecond = 20000;   // program speed; 0: as fast as possible
    // Program output the board holds before the program waits for the line
    // (RunControl.h); a small board's buffer by default.
    std::size_t outputQueueBytes = kDefaultOutputQueueBytes;
    // What record() keeps at most (the latest exchanges and console bytes).
    RecordLimits recordLimits;
    std::string version = "Travin VB 1.0";
    std::string rig;              // module network, e.g. "1=orlen,2=daska"; empty: default
    bool rateResetsOnClose = true;
    // Serve this existing serial device instead of a new pseudo-terminal,
    // setting it to each rate the board agrees to; empty: a new pair.
    std::string devicePath;
    std::function<void(const Exchange&)> onExchange;  // after each exchange
    std::function<void(const std::string&)> onEvent;  // noise, dropped frames, hang-ups
    // What the board's user must hear of even without a trace: a command
    // refused because the image could not be written.
    std::function<void(const std::string&)> onFault;
};

enum class StallAt {
    Echo,   // the next sync gets no answer at all
    Reply,  // the next frame is read but neither executed nor answered
};

class VirtualBoard {
public:
    explicit VirtualBoard(BoardOptions options);
    ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    void start();
    void stop();
    bool started() const;

    std::string slavePath() const;  // the pty slave the workbench opens
    std::string linkPath() const;   // <linkDir>/com<N>, empty without a link
    std::uint64_t nowMs() const;    // the board clock (ms since construction)

    WireRecord& record() { return record_; }
    const WireRecord& record() const { return record_; }

    // Inspection (a consistent snapshot of each item).
    std::vector<std::uint8_t> programArea() const;  // 29696 bytes
    std::string program() const;                    // up to the first zero
    std::array<std::uint8_t, kStartupBlockSize> startupBlock() const;
    std::array<std::uint16_t, 3> breakpoints() const;
    std::array<std::int32_t, 26> variables() const;
    std::uint16_t position() const;
    bool running() const;
    bool waitingInput() const;
    std::uint32_t baudRate() const;      // the board's own rate
    bool attached() const;               // a slave fd is open (as far as last seen)
    bool hungUp() const;
    std::int32_t storedValue(int index) const;
    std::uint64_t imageBytesWritten() const;  // bytes written to the image file so far
    std::size_t pendingCharacters() const;    // SendCharacter bytes not yet taken
    std::size_t consoleWaiting() const;       // program output not yet sent
    std::vector<std::string> aciLines() const;     // every SendAci text received
    std::vector<std::string> inputAnswers() const; // every SendInput answer received

    // Steering.
    void setVersion(std::string text);          // sent as is (may exceed 15)
    void queueConsole(std::string_view bytes);  // as if the program printed them
    void setPageWriteMs(int ms);
    void setEraseMs(int ms);
    void setVariable(int index, std::int32_t value);
    bool storeSource(std::string_view source);  // as --program does; saves the image
    void setStartupBlock(const std::array<std::uint8_t, kStartupBlockSize>& block);
    void setStoredValue(int index, std::int32_t value);
    void runProgram();   // as RunProgram would
    void stopProgram();  // as StopProgram would

    // Fault injection; each applies once, to the next exchange it fits.
    void injectCorruptChecksum();   // next reply's check byte (or checksum) off by one
    void injectBit6();              // next reply gets status bit 6
    void injectStall(StallAt at = StallAt::Echo);
    void injectBusy(int times);     // the next `times` syncs are answered 0xAB
    void injectConsoleBeforeEcho(std::string bytes);  // sent just before the next echo
    // The next reply with data carries `missing` fewer data bytes: with
    // cut=false as a consistent shorter frame (M and checksum fit), with
    // cut=true as a frame that stops early (M as expected, no checksum).
    void injectShortReply(int missing = 1, bool cut = false);
    // Closes the master now (every open slave fd sees a hang-up); after
    // comeBackAfterMs (never when negative, until comeBack()) a new
    // pseudo-terminal is made and the link pointed at it. Returns when the
    // line is down.
    void hangUp(int comeBackAfterMs = -1);
    void comeBack();  // returns when the new line is up

private:
    struct Reply {
        std::vector<std::uint8_t> bytes;
        std::uint32_t newBaud = 0;  // switch to this rate after the reply
        int busyMs = 0;             // busy for this long after the reply
        int writeMs = 0;            // a page write that overlaps the next frame
    };
    enum class State { Idle, Frame };

    void threadMain();
    void runTasks(std::unique_lock<std::mutex>& lock);
    void callOnBoard(std::function<void()> task);
    void wake();
    void closeLine();
    void openLine();
    void onBytes(const std::uint8_t* data, std::size_t size);
    void onByte(std::uint8_t b);
    void onSync();
    void onFrame();
    void dropFrame(const char* why);
    Reply dispatch(std::uint8_t code, const std::vector<std::uint8_t>& payload);  // Commands.cpp
    void send(const std::uint8_t* data, std::size_t size);
    void send(const std::vector<std::uint8_t>& bytes) { send(bytes.data(), bytes.size()); }
    void flushConsole();
    void event(const std::string& text);
    void fault(const std::string& text);
    std::uint64_t byteTimeUs() const;
    bool pageWriteHoldsOff() const;
    void awaitPageWrite();

    BoardOptions options_;
    const std::chrono::steady_clock::time_point epoch_;
    WireRecord record_;

    mutable std::mutex mutex_;
    std::condition_variable tasksDone_;
    std::vector<std::function<void()>> tasks_;
    std::uint64_t tasksQueued_ = 0, tasksRun_ = 0;
    std::thread thread_;
    bool stopRequested_ = false;
    bool started_ = false;
    int wakeFd_ = -1;

    std::unique_ptr<EepromImage> eeprom_;
    std::unique_ptr<RunControl> run_;
    std::unique_ptr<Pty> pty_;
    std::unique_ptr<ComLink> link_;
    std::string slavePath_;

    State state_ = State::Idle;
    std::vector<std::uint8_t> frame_;
    std::uint64_t frameSyncMs_ = 0, frameDeadline_ = 0;
    std::uint64_t busyUntil_ = 0;
    std::chrono::steady_clock::time_point writeEnd_{};  // the page write going on
    std::uint64_t autorunAt_ = 0;
    std::uint64_t comeBackAt_ = 0;
    bool hungUp_ = false;
    bool attached_ = true;
    std::uint32_t baud_ = 19200;
    std::chrono::steady_clock::time_point txClock_{}, rxClock_{};
    double lineBudget_ = 1.0;
    std::chrono::steady_clock::time_point lastSlice_{};
    std::string version_;
    std::vector<std::string> aciLines_, inputAnswers_;

    // Pending faults.
    bool corruptNext_ = false;
    bool bit6Next_ = false;
    int stallEcho_ = 0;
    int stallReply_ = 0;
    int busyInjected_ = 0;
    std::string consoleBeforeEcho_;
    int shortMissing_ = 0;
    bool shortCut_ = false;
};

}  // namespace vboard
