#include "core/LogWriter.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "core/FilePath.h"

namespace travin {

namespace {

// Unbuffered: a batch goes to the disk as one write, so a process killed
// between batches leaves no line torn inside a batch, and nothing waits in
// a buffer that a kill would lose.
std::FILE* unbuffered(std::FILE* file) {
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

}  // namespace

struct LogWriter::State {
    struct Segment {
        std::string openPath;  // empty: the file before
        std::string bytes;
    };

    explicit State(std::size_t queueLimit) : limit(queueLimit) {}

    mutable std::mutex lock;
    std::condition_variable wake;   // the writer waits here for bytes or the stop
    std::condition_variable ended;  // finish() waits here for the writer
    std::deque<Segment> segments;   // waiting for the writer
    std::size_t inQueue = 0;        // bytes waiting or being written
    const std::size_t limit;
    bool stopping = false;
    bool done = false;
    std::string problem;

    // The writer's own, touched by nobody else once it runs.
    std::FILE* file = nullptr;
    std::string path;

    // Queues a segment; wakes the writer when it waits for the first bytes.
    void push(Segment segment) {
        const bool idle = segments.empty();
        segments.push_back(std::move(segment));
        if (idle) wake.notify_one();
    }
};

LogWriter::LogWriter(std::FILE* file, const std::string& path, std::size_t queueLimit)
    : state(std::make_shared<State>(queueLimit)) {
    state->file = unbuffered(file);
    state->path = path;
    thread = std::thread(run, state);
}

LogWriter::~LogWriter() { finish(); }

bool LogWriter::append(std::string_view bytes) {
    std::lock_guard guard(state->lock);
    if (!state->problem.empty() || state->stopping) return false;
    if (bytes.empty()) return true;
    if (state->inQueue + bytes.size() > state->limit) return false;
    state->inQueue += bytes.size();
    if (state->segments.empty()) state->push({});
    state->segments.back().bytes.append(bytes);
    return true;
}

void LogWriter::switchTo(const std::string& path) {
    std::lock_guard guard(state->lock);
    if (!state->problem.empty() || state->stopping) return;
    state->push({path, {}});
}

std::string LogWriter::failure() const {
    std::lock_guard guard(state->lock);
    return state->problem;
}

std::size_t LogWriter::queued() const {
    std::lock_guard guard(state->lock);
    return state->inQueue;
}

bool LogWriter::finish(std::chrono::milliseconds wait) {
    if (!thread.joinable()) return true;
    std::unique_lock hold(state->lock);
    state->stopping = true;
    state->wake.notify_one();
    const bool ended = state->ended.wait_for(hold, wait, [this] { return state->done; });
    hold.unlock();
    if (ended) thread.join();
    else thread.detach();  // it owns a share of the state and closes the file itself
    return ended;
}

void LogWriter::run(const std::shared_ptr<State>& s) {
    std::unique_lock hold(s->lock);
    for (;;) {
        s->wake.wait(hold, [&] { return s->stopping || !s->segments.empty(); });
        // A little more gathers into the same write, unless the stop is asked.
        if (!s->stopping) s->wake.wait_for(hold, kGather, [&] { return s->stopping; });
        if (s->segments.empty()) break;
        std::deque<State::Segment> batch;
        batch.swap(s->segments);
        hold.unlock();

        std::size_t bytes = 0;
        std::string problem;
        for (const State::Segment& segment : batch) {
            bytes += segment.bytes.size();
            if (!problem.empty()) continue;
            if (!segment.openPath.empty()) {
                if (s->file) std::fclose(s->file);
                s->path = segment.openPath;
                s->file = unbuffered(openFile(s->path, "ab"));
                if (!s->file) {
                    problem = "Cannot open the log " + s->path + ": " + std::strerror(errno);
                    continue;
                }
            }
            if (!segment.bytes.empty() &&
                std::fwrite(segment.bytes.data(), 1, segment.bytes.size(), s->file) != segment.bytes.size())
                problem = "Cannot write the log " + s->path + ": " + std::strerror(errno);
        }
        if (problem.empty() && std::fflush(s->file) != 0)
            problem = "Cannot write the log " + s->path + ": " + std::strerror(errno);

        hold.lock();
        s->inQueue -= bytes;
        if (!problem.empty()) {
            s->problem = problem;
            s->segments.clear();
            s->inQueue = 0;
            break;
        }
    }
    hold.unlock();
    if (s->file) std::fclose(s->file);
    s->file = nullptr;
    hold.lock();
    s->done = true;
    s->ended.notify_all();
}

}  // namespace travin
