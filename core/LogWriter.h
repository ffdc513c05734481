// Appends bytes to a file on a thread of its own, so that whoever hands
// them over never waits for the disk: a slow or stalled disk (a network
// share, a USB stick) costs the caller nothing but the copy into the queue.
//
// The writer takes what is queued as one batch, at most kGather after the
// first of it came, writes it and flushes it: a process that is killed
// loses well under a second of what it handed over. The queue holds at most
// a fixed number of bytes, counting the batch being written; append() says
// false (and queues nothing) when the bytes do not fit, so memory stays
// bounded however long the disk stalls.
//
// A write or open that fails ends the writer; failure() says why, and later
// bytes are refused. The caller asks for it when it suits the caller's
// thread; the writer itself never calls back.
//
// finish() writes what is queued and waits for it at most the time given;
// a writer still stuck in the disk after that is let go, and ends on its own
// (closing the file) once the disk answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace travin {

class LogWriter {
public:
    static constexpr std::chrono::milliseconds kGather{100};

    // Writes to `file` (already open, appending; the writer closes it).
    // `path` names it in problems.
    LogWriter(std::FILE* file, const std::string& path, std::size_t queueLimit);
    // finish(kDefaultFinishWait)
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    static constexpr std::chrono::milliseconds kDefaultFinishWait{5000};

    // Queues `bytes`; false, nothing queued, when they do not fit or the
    // writer has failed. Never waits for the disk.
    bool append(std::string_view bytes);
    // Bytes appended from now on go to the file at `path`, opened (for
    // appending) by the writer once the bytes before are written.
    void switchTo(const std::string& path);
    // Why the writer stopped; empty while it works.
    std::string failure() const;
    // Bytes queued or being written.
    std::size_t queued() const;

    // Writes what is queued, closes the file and ends the thread. True when
    // it did so within `wait`; false when the disk still holds the writer
    // (which then finishes on its own). Later calls do nothing.
    bool finish(std::chrono::milliseconds wait = kDefaultFinishWait);

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state;
    std::thread thread;
};

}  // namespace travin
