#include "board/VirtualBoard.h"
#include "board/ExecutorFactory.h"

#include "board/Frame.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vboard {

using Clock = std::chrono::steady_clock;


namespace {
constexpr std::uint32_t kNormalBaud = 19200;
constexpr int kDetachedPollMs = 10;   // how often a closed line is checked for a reopen
constexpr int kWriteWaitMs = 200;     // how long a full send buffer may hold up a reply
}

VirtualBoard::VirtualBoard(BoardOptions options)
    : options_(std::move(options)), epoch_(Clock::now()), version_(options_.version) {
    record_.setLimits(options_.recordLimits);
}

VirtualBoard::~VirtualBoard() { stop(); }

std::uint64_t VirtualBoard::nowMs() const {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch_).count());
}

void VirtualBoard::start() {
    std::unique_lock lock(mutex_);
    if (started_) return;
    auto eeprom = std::make_unique<EepromImage>(options_.eepromPath);
    eeprom->loadOrCreate();
    auto link = std::make_unique<ComLink>();
    if (!options_.linkDir.empty()) link->acquire(options_.linkDir, options_.comNumber);
    auto pty = std::make_unique<Pty>();
    if (!options_.devicePath.empty()) pty->useDevice(options_.devicePath);
    pty->open();
    if (link->held()) link->pointAt(pty->slavePath());
    int wfd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wfd < 0) throw std::runtime_error("cannot create eventfd");

    eeprom_ = std::move(eeprom);
    link_ = std::move(link);
    pty_ = std::move(pty);
    slavePath_ = pty_->slavePath();
    wakeFd_ = wfd;
    run_ = std::make_unique<RunControl>(*eeprom_, [this] { return nowMs(); }, makeExecutor(options_.rig));
    run_->setOutputQueueBytes(options_.outputQueueBytes);
    state_ = State::Idle;
    frame_.clear();
    busyUntil_ = 0;
    writeEnd_ = {};
    comeBackAt_ = 0;
    hungUp_ = false;
    attached_ = true;
    baud_ = kNormalBaud;
    txClock_ = rxClock_ = Clock::now();
    autorunAt_ = 0;
    if (options_.powerOnRun && !eeprom_->program().empty()) {
        int ms = options_.startupMs;
        if (ms < 0) ms = std::max(0, static_cast<int>(static_cast<std::int8_t>(eeprom_->startupBlock()[0]))) * 1000;
        autorunAt_ = std::max<std::uint64_t>(1, nowMs() + static_cast<std::uint64_t>(ms));
    }
    stopRequested_ = false;
    started_ = true;
    thread_ = std::thread([this] { threadMain(); });
}

void VirtualBoard::stop() {
    {
        std::lock_guard lock(mutex_);
        if (!started_) return;
        stopRequested_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    pty_.reset();
    link_.reset();  // removes the link and the lock
    run_.reset();
    eeprom_.reset();
    ::close(wakeFd_);
    wakeFd_ = -1;
    started_ = false;
    // Tasks nobody will run any more must not leave a caller waiting.
    tasks_.clear();
    tasksRun_ = tasksQueued_;
    tasksDone_.notify_all();
}

bool VirtualBoard::started() const { std::lock_guard lock(mutex_); return started_; }

void VirtualBoard::wake() {
    std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        ssize_t n = ::write(wakeFd_, &one, sizeof one);
        (void)n;
    }
}

void VirtualBoard::callOnBoard(std::function<void()> task) {
    std::unique_lock lock(mutex_);
    if (!started_) return;
    tasks_.push_back(std::move(task));
    const std::uint64_t ticket = ++tasksQueued_;
    wake();
    tasksDone_.wait(lock, [&] { return tasksRun_ >= ticket; });
}

void VirtualBoard::runTasks(std::unique_lock<std::mutex>&) {
    auto tasks = std::move(tasks_);
    tasks_.clear();
    for (auto& t : tasks) {
        t();
        ++tasksRun_;
    }
    if (!tasks.empty()) tasksDone_.notify_all();
}

void VirtualBoard::event(const std::string& text) {
    if (options_.onEvent) options_.onEvent(text);
}

void VirtualBoard::fault(const std::string& text) {
    event(text);
    if (options_.onFault) options_.onFault(text);
}

std::uint64_t VirtualBoard::byteTimeUs() const { return 10'000'000ULL / (baud_ ? baud_ : kNormalBaud); }

// A page write holds off a sync when a whole page sent after the echo would
// arrive before the write is done. On an unpaced line a page arrives at once,
// so there the board is busy for all of the write.
bool VirtualBoard::pageWriteHoldsOff() const {
    const auto left = writeEnd_ - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    // The page frame after the echo: code, N, block number, 128 bytes,
    // checksum. Its first byte counts as arrived when it is read.
    constexpr std::uint64_t kPageFrameBytes = 3 + 130;
    const auto crossing = options_.pace ? std::chrono::microseconds(byteTimeUs() * (kPageFrameBytes - 1))
                                        : std::chrono::microseconds(0);
    return left > crossing;
}

// A frame that came in faster than the sync's answer allowed for waits for
// the write still going, as the board cannot take a command meanwhile.
void VirtualBoard::awaitPageWrite() {
    if (Clock::now() < writeEnd_) std::this_thread::sleep_until(writeEnd_);
}

// ---------------------------------------------------------------- the line

void VirtualBoard::closeLine() {
    pty_->close();
    hungUp_ = true;
    attached_ = false;
    if (state_ == State::Frame) frame_.clear();
    state_ = State::Idle;
    baud_ = kNormalBaud;
    event("line hung up");
}

void VirtualBoard::openLine() {
    pty_->open();
    slavePath_ = pty_->slavePath();
    if (link_ && link_->held()) {
        try {
            link_->pointAt(slavePath_);
        } catch (const std::exception& e) {
            event(std::string("cannot relink: ") + e.what());
        }
    }
    hungUp_ = false;
    attached_ = true;
    comeBackAt_ = 0;
    event("line back on " + slavePath_);
}

void VirtualBoard::send(const std::uint8_t* data, std::size_t size) {
    if (hungUp_ || !attached_ || size == 0) return;
    if (pty_->peerBaud() != baud_) return;  // the far side would see only garbage
    auto writeSome = [this](const std::uint8_t* p, std::size_t n) {
        const auto giveUp = Clock::now() + std::chrono::milliseconds(kWriteWaitMs);
        while (n > 0) {
            long w = pty_->write(p, n);
            if (w < 0) return false;
            p += w;
            n -= static_cast<std::size_t>(w);
            if (n == 0) break;
            if (Clock::now() >= giveUp) return false;
            pollfd pfd{pty_->fd(), POLLOUT, 0};
            ::poll(&pfd, 1, 10);
        }
        return true;
    };
    if (!options_.pace) {
        writeSome(data, size);
        return;
    }
    const auto byteTime = std::chrono::microseconds(byteTimeUs());
    // The bytes of one send leave back to back, each at its own deadline
    // from the first: a wake-up that comes late is made up by the next
    // bytes, as a line shifting them out would, instead of delaying all the
    // rest (at 115200 a byte is 87 us, the order of a sleep's overshoot).
    txClock_ = std::max(txClock_, Clock::now());
    for (std::size_t i = 0; i < size; ++i) {
        std::this_thread::sleep_until(txClock_);
        if (!writeSome(data + i, 1)) return;
        txClock_ += byteTime;
    }
}

void VirtualBoard::flushConsole() {
    std::string& out = run_->console();
    if (out.empty()) return;
    if (hungUp_ || !attached_ || pty_->peerBaud() != baud_) {
        out.clear();  // nobody can read it
        return;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(out.data());
    std::size_t n = out.size();
    if (!options_.pace) {
        long w = pty_->write(p, n);
        if (w > 0) {
            record_.addConsole(p, static_cast<std::size_t>(w));
            out.erase(0, static_cast<std::size_t>(w));
        }
        return;
    }
    // Paced: send what fits into one millisecond, so the loop stays responsive.
    const std::size_t chunk = std::max<std::size_t>(1, 1000 / byteTimeUs());
    n = std::min(n, chunk);
    send(p, n);
    record_.addConsole(p, n);
    out.erase(0, n);
}

// ------------------------------------------------------------ the protocol

void VirtualBoard::onBytes(const std::uint8_t* data, std::size_t size) {
    if (pty_->peerBaud() != baud_) {
        record_.addNoise(size);
        if (state_ == State::Frame) dropFrame("rate mismatch");
        return;
    }
    const auto byteTime = std::chrono::microseconds(byteTimeUs());
    // The bytes read at once arrived one byte time apart from the first
    // (or from the byte before them, still crossing); each is taken at its
    // deadline, so a late wake-up does not delay the ones after it.
    if (options_.pace) rxClock_ = std::max(rxClock_, Clock::now() - byteTime);
    for (std::size_t i = 0; i < size && !hungUp_; ++i) {
        if (options_.pace) {
            rxClock_ += byteTime;
            std::this_thread::sleep_until(rxClock_);
        }
        onByte(data[i]);
    }
}

void VirtualBoard::onByte(std::uint8_t b) {
    if (state_ == State::Idle) {
        if (b == kSync)
            onSync();
        else
            record_.addNoise(1);
        return;
    }
    frame_.push_back(b);
    if (frame_.size() >= 2 && frame_.size() == static_cast<std::size_t>(frame_[1]) + 3u) onFrame();
}

void VirtualBoard::onSync() {
    const std::uint64_t now = nowMs();
    if (stallEcho_ > 0) {
        --stallEcho_;
        record_.addSync({now, 0});
        return;
    }
    if (busyInjected_ > 0 || now < busyUntil_ || pageWriteHoldsOff()) {
        if (busyInjected_ > 0) --busyInjected_;
        const std::uint8_t busy = kBusy;
        record_.addSync({now, kBusy});
        send(&busy, 1);
        return;
    }
    autorunAt_ = 0;  // a command arrived before the start-up time ran out
    while (!run_->console().empty() && attached_ && !hungUp_) {
        const std::size_t before = run_->console().size();
        flushConsole();
        if (run_->console().size() == before) break;
    }
    if (!consoleBeforeEcho_.empty()) {
        std::string bytes = std::move(consoleBeforeEcho_);
        consoleBeforeEcho_.clear();
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        send(p, bytes.size());
        record_.addConsole(p, bytes.size());
    }
    const std::uint8_t echo = kSync;
    record_.addSync({nowMs(), kSync});
    send(&echo, 1);
    state_ = State::Frame;
    frame_.clear();
    frameSyncMs_ = nowMs();
    frameDeadline_ = frameSyncMs_ + static_cast<std::uint64_t>(std::max(1, options_.frameTimeoutMs));
}

void VirtualBoard::dropFrame(const char* why) {
    record_.addDroppedFrame({frameSyncMs_, nowMs(), frame_});
    event(std::string("frame dropped (") + why + ") after " + std::to_string(frame_.size()) + " bytes");
    frame_.clear();
    state_ = State::Idle;
}

void VirtualBoard::onFrame() {
    Exchange ex;
    ex.code = frame_[0];
    const std::size_t n = frame_[1];
    ex.payload.assign(frame_.begin() + 2, frame_.begin() + 2 + static_cast<std::ptrdiff_t>(n));
    const std::uint8_t sum = checksum(ex.payload, static_cast<std::uint8_t>(frame_[0] + frame_[1]));
    ex.checksumOk = sum == frame_.back();
    ex.baud = baud_;
    ex.syncMs = frameSyncMs_;
    ex.frameMs = nowMs();
    frame_.clear();
    state_ = State::Idle;

    if (stallReply_ > 0) {
        --stallReply_;
        ex.replied = false;
        ex.replyMs = nowMs();
        if (options_.onExchange) options_.onExchange(ex);
        record_.addExchange(std::move(ex));
        return;
    }

    awaitPageWrite();
    Reply reply = ex.checksumOk ? dispatch(ex.code, ex.payload)
                                : Reply{replyWithoutData(static_cast<std::uint8_t>(run_->statusBits() | StatusBit::BadChecksum)), 0, 0};
    auto& r = reply.bytes;
    const bool withData = (r[0] & StatusBit::Data) != 0;
    if (bit6Next_) {
        bit6Next_ = false;
        r[0] |= StatusBit::BadChecksum;
        if (withData) r.back() = checksum(std::span(r).subspan(0, r.size() - 1));
        else r[1] = r[0];
    }
    bool cutFrame = false;
    if (shortMissing_ > 0 && withData) {
        const std::size_t m = r[1];
        const auto missing = static_cast<std::size_t>(shortMissing_);
        const std::size_t keep = m > missing ? m - missing : 0;
        std::vector<std::uint8_t> data(r.begin() + 2, r.begin() + 2 + static_cast<std::ptrdiff_t>(keep));
        if (shortCut_) {
            r.resize(2 + keep);  // M as the command expects; the frame simply stops
            cutFrame = true;
        } else {
            r = replyWithData(r[0], data);
        }
        shortMissing_ = 0;
        shortCut_ = false;
    }
    if (corruptNext_ && !cutFrame) {
        corruptNext_ = false;
        r.back() = static_cast<std::uint8_t>(r.back() + 1);
    }

    // On record before the reply goes out, so a test that has read the reply
    // finds the exchange; replyMs is when the last byte will have left.
    ex.status = r[0];
    ex.reply = r;
    ex.replyMs = nowMs();
    if (options_.pace) {
        const auto done = std::max(txClock_, Clock::now()) + std::chrono::microseconds(byteTimeUs() * r.size());
        ex.replyMs = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(done - epoch_).count());
    }
    if (options_.onExchange) options_.onExchange(ex);
    record_.addExchange(std::move(ex));
    send(r);
    if (reply.newBaud) baud_ = reply.newBaud;
    pty_->followRate(baud_);
    if (reply.busyMs > 0) busyUntil_ = nowMs() + static_cast<std::uint64_t>(reply.busyMs);
    // The write starts once the reply has left.
    if (reply.writeMs > 0) writeEnd_ = std::max(txClock_, Clock::now()) + std::chrono::milliseconds(reply.writeMs);
}

// -------------------------------------------------------------- the thread

void VirtualBoard::threadMain() {
    std::unique_lock lock(mutex_);
    std::uint8_t buffer[4096];
    while (!stopRequested_) {
        runTasks(lock);
        std::uint64_t now = nowMs();
        // A served device follows the rate back to normal after a close.
        if (!hungUp_) pty_->followRate(baud_);

        if (hungUp_ && comeBackAt_ != 0 && now >= comeBackAt_) {
            try {
                openLine();
            } catch (const std::exception& e) {
                event(std::string("cannot make a new line: ") + e.what());
                comeBackAt_ = now + 1000;
            }
        }
        if (autorunAt_ != 0 && now >= autorunAt_) {
            autorunAt_ = 0;
            if (!eeprom_->program().empty()) {
                run_->run();
                event("start-up time over: running the stored program");
            }
        }
        if (state_ == State::Frame && now >= frameDeadline_) dropFrame("time-out");

        // The program runs at the set line rate: a budget of lines grows with
        // the time that passed and is spent in slices.
        const bool unthrottled = options_.linesPerSecond <= 0;
        int runWait = -1;
        if (run_->running() && !run_->waitingInput()) {
            if (unthrottled) {
                runWait = run_->advance(1000);
            } else {
                const auto t = Clock::now();
                const double rate = options_.linesPerSecond;
                lineBudget_ = std::min(lineBudget_ + std::chrono::duration<double>(t - lastSlice_).count() * rate,
                                       std::max(1.0, rate / 100));
                lastSlice_ = t;
                const int lines = static_cast<int>(lineBudget_);
                if (lines >= 1) {
                    runWait = run_->advance(lines);
                    lineBudget_ -= lines;
                } else {
                    runWait = 0;
                }
                if (runWait == 0)
                    runWait = std::max(1, static_cast<int>((1.0 - lineBudget_) * 1000.0 / rate + 0.999));
            }
        }
        if (!run_->running() || run_->waitingInput()) {
            lineBudget_ = 1.0;  // the first line after a start runs at once
            lastSlice_ = Clock::now();
        }
        if (state_ == State::Idle) flushConsole();

        // How long to wait for the line.
        int timeout = -1;
        auto atMost = [&timeout](std::int64_t ms) {
            ms = std::max<std::int64_t>(0, ms);
            if (timeout < 0 || ms < timeout) timeout = static_cast<int>(std::min<std::int64_t>(ms, 60000));
        };
        now = nowMs();
        if (runWait >= 0) atMost(runWait);
        if (autorunAt_ != 0) atMost(static_cast<std::int64_t>(autorunAt_ - std::min(autorunAt_, now)));
        if (comeBackAt_ != 0) atMost(static_cast<std::int64_t>(comeBackAt_ - std::min(comeBackAt_, now)));
        if (state_ == State::Frame) atMost(static_cast<std::int64_t>(frameDeadline_ - std::min(frameDeadline_, now)));
        if (!hungUp_ && !attached_) atMost(kDetachedPollMs);
        const bool consoleWaits = state_ == State::Idle && !run_->console().empty() && attached_ && !hungUp_;
        if (consoleWaits) atMost(options_.pace ? 0 : 10);

        pollfd fds[2];
        int nfds = 0;
        fds[nfds++] = {wakeFd_, POLLIN, 0};
        int lineIndex = -1;
        if (!hungUp_ && attached_) {
            lineIndex = nfds;
            fds[nfds++] = {pty_->fd(), static_cast<short>(POLLIN | (consoleWaits && !options_.pace ? POLLOUT : 0)), 0};
        }
        lock.unlock();
        ::poll(fds, static_cast<nfds_t>(nfds), timeout);
        lock.lock();
        if (fds[0].revents & POLLIN) {
            std::uint64_t v;
            ssize_t r = ::read(wakeFd_, &v, sizeof v);
            (void)r;
        }
        if (stopRequested_ || hungUp_) continue;
        if (lineIndex < 0) {
            // Detached: look whether a slave has been opened again.
            pollfd probe{pty_->fd(), POLLIN, 0};
            ::poll(&probe, 1, 0);
            if (probe.revents & POLLHUP) continue;
            attached_ = true;
            event("line opened");
            continue;
        }
        const short rev = fds[lineIndex].revents;
        long n = 0;
        if (rev & POLLIN) {
            n = pty_->read(buffer, sizeof buffer);
            if (n > 0) onBytes(buffer, static_cast<std::size_t>(n));
        }
        if (((rev & POLLHUP) && !(rev & POLLIN)) || n < 0) {
            attached_ = false;
            if (state_ == State::Frame) dropFrame("line closed");
            if (options_.rateResetsOnClose) baud_ = kNormalBaud;
            event("line closed by the far side");
        }
    }
}

// ----------------------------------------------------- inspection, steering

std::string VirtualBoard::slavePath() const { std::lock_guard l(mutex_); return slavePath_; }
std::string VirtualBoard::linkPath() const {
    std::lock_guard l(mutex_);
    return link_ && link_->held() ? link_->linkPath() : std::string();
}

#define BOARD_GET(expr, fallback)              \
    std::lock_guard l(mutex_);                 \
    if (!eeprom_ || !run_) return fallback;    \
    return expr

std::vector<std::uint8_t> VirtualBoard::programArea() const { BOARD_GET(eeprom_->programArea(), {}); }
std::string VirtualBoard::program() const { BOARD_GET(std::string(eeprom_->program()), {}); }
std::array<std::uint8_t, kStartupBlockSize> VirtualBoard::startupBlock() const { BOARD_GET(eeprom_->startupBlock(), {}); }
std::array<std::uint16_t, 3> VirtualBoard::breakpoints() const { BOARD_GET(run_->breakpoints(), {}); }
std::uint16_t VirtualBoard::position() const { BOARD_GET(run_->position(), 0); }
bool VirtualBoard::running() const { BOARD_GET(run_->running(), false); }
bool VirtualBoard::waitingInput() const { BOARD_GET(run_->waitingInput(), false); }
std::int32_t VirtualBoard::storedValue(int index) const { BOARD_GET(eeprom_->storedValue(index), 0); }
std::uint64_t VirtualBoard::imageBytesWritten() const { BOARD_GET(eeprom_->bytesWritten(), 0); }
std::size_t VirtualBoard::pendingCharacters() const { BOARD_GET(run_->pendingCharacters(), 0); }
std::size_t VirtualBoard::consoleWaiting() const { BOARD_GET(run_->console().size(), 0); }

#undef BOARD_GET

std::array<std::int32_t, 26> VirtualBoard::variables() const {
    std::lock_guard l(mutex_);
    std::array<std::int32_t, 26> v{};
    if (run_)
        for (int i = 0; i < 26; ++i) v[static_cast<std::size_t>(i)] = run_->variable(i);
    return v;
}

std::uint32_t VirtualBoard::baudRate() const { std::lock_guard l(mutex_); return baud_; }
bool VirtualBoard::attached() const { std::lock_guard l(mutex_); return attached_ && !hungUp_; }
bool VirtualBoard::hungUp() const { std::lock_guard l(mutex_); return hungUp_; }
std::vector<std::string> VirtualBoard::aciLines() const { std::lock_guard l(mutex_); return aciLines_; }
std::vector<std::string> VirtualBoard::inputAnswers() const { std::lock_guard l(mutex_); return inputAnswers_; }

void VirtualBoard::setVersion(std::string text) { std::lock_guard l(mutex_); version_ = std::move(text); }

void VirtualBoard::queueConsole(std::string_view bytes) {
    { std::lock_guard l(mutex_); if (run_) run_->consoleWrite(bytes); }
    wake();
}

void VirtualBoard::setPageWriteMs(int ms) { std::lock_guard l(mutex_); options_.pageWriteMs = ms; }
void VirtualBoard::setEraseMs(int ms) { std::lock_guard l(mutex_); options_.eraseMs = ms; }

void VirtualBoard::setVariable(int index, std::int32_t value) {
    std::lock_guard l(mutex_);
    if (run_) run_->setVariable(index, value);
}

bool VirtualBoard::storeSource(std::string_view source) {
    std::lock_guard l(mutex_);
    if (!eeprom_ || !eeprom_->storeSource(source)) return false;
    eeprom_->save();
    run_->programChanged();
    return true;
}

void VirtualBoard::setStartupBlock(const std::array<std::uint8_t, kStartupBlockSize>& block) {
    std::lock_guard l(mutex_);
    if (!eeprom_) return;
    eeprom_->startupBlock() = block;
    eeprom_->save();
}

void VirtualBoard::setStoredValue(int index, std::int32_t value) {
    std::lock_guard l(mutex_);
    if (run_) run_->setStoredValue(index, value);
}

void VirtualBoard::runProgram() {
    { std::lock_guard l(mutex_); if (run_) run_->run(); }
    wake();
}

void VirtualBoard::stopProgram() {
    { std::lock_guard l(mutex_); if (run_) run_->stop(); }
    wake();
}

void VirtualBoard::injectCorruptChecksum() { std::lock_guard l(mutex_); corruptNext_ = true; }
void VirtualBoard::injectBit6() { std::lock_guard l(mutex_); bit6Next_ = true; }

void VirtualBoard::injectStall(StallAt at) {
    std::lock_guard l(mutex_);
    if (at == StallAt::Echo) ++stallEcho_;
    else ++stallReply_;
}

void VirtualBoard::injectBusy(int times) { std::lock_guard l(mutex_); busyInjected_ += std::max(0, times); }

void VirtualBoard::injectConsoleBeforeEcho(std::string bytes) {
    std::lock_guard l(mutex_);
    consoleBeforeEcho_ += bytes;
}

void VirtualBoard::injectShortReply(int missing, bool cut) {
    std::lock_guard l(mutex_);
    shortMissing_ = std::max(1, missing);
    shortCut_ = cut;
}

void VirtualBoard::hangUp(int comeBackAfterMs) {
    callOnBoard([this, comeBackAfterMs] {
        if (hungUp_) return;
        closeLine();
        // 0 means "not planned", so a planned time is never 0.
        comeBackAt_ = comeBackAfterMs >= 0 ? std::max<std::uint64_t>(1, nowMs() + static_cast<std::uint64_t>(comeBackAfterMs)) : 0;
    });
}

void VirtualBoard::comeBack() {
    callOnBoard([this] {
        if (!hungUp_) return;
        try {
            openLine();
        } catch (const std::exception& e) {
            event(std::string("cannot make a new line: ") + e.what());
        }
    });
}

}  // namespace vboard
