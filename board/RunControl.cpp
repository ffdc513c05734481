#include "board/RunControl.h"

#include "board/ExecutorFactory.h"

#include <algorithm>
#include <stdexcept>

namespace vboard {

namespace {
constexpr std::size_t kMaxQueuedCharacters = 256;
// A blocked line is looked at again after this long at most.
constexpr std::uint64_t kLongestSleepMs = 60000;
}

RunControl::RunControl(EepromImage& eeprom, std::function<std::uint64_t()> clock,
                       std::unique_ptr<Executor> executor)
    : eeprom_(eeprom), clock_(std::move(clock)), executor_(executor ? std::move(executor) : makeExecutor()) {
    executor_->load(eeprom_.program());
    programDirty_ = false;
}

void RunControl::programChanged() {
    halt();
    programDirty_ = true;
}

void RunControl::reloadIfChanged() {
    if (!programDirty_) return;
    executor_->load(eeprom_.program());
    programDirty_ = false;
    ended_ = false;
    continuing_ = false;
    atStart_ = true;
}

std::uint16_t RunControl::position() {
    reloadIfChanged();
    return executor_->position();
}

void RunControl::begin(bool stepping) {
    if (running_) return;  // a second Run or Step while running changes nothing
    reloadIfChanged();
    if (ended_) {
        executor_->setPosition(0);
        ended_ = false;
        atStart_ = true;
    }
    running_ = true;
    stepping_ = stepping;
    // Only a run that resumes passes over the breakpoint of its first line.
    firstLine_ = stepping || !atStart_;
    atStart_ = false;
    needPrepare_ = !continuing_;
}

void RunControl::run() { begin(false); }
void RunControl::step() { begin(true); }

void RunControl::halt() {
    if (continuing_) executor_->abandonLine();
    continuing_ = false;
    running_ = false;
    waitingInput_ = false;
    stepping_ = false;
}

void RunControl::stop() {
    if (running_) halt();
}

void RunControl::reset() {
    halt();
    reloadIfChanged();
    executor_->reset();
    characters_.clear();
    ended_ = false;
    atStart_ = true;
}

bool RunControl::isBreakpoint(std::uint16_t position) const {
    return std::find(breakpoints_.begin(), breakpoints_.end(), position) != breakpoints_.end() &&
           position != kNoBreakpoint;
}

int RunControl::advance(int maxLines) {
    for (int i = 0; i < maxLines; ++i) {
        if (!running_ || waitingInput_) return -1;
        if (console_.size() >= outputQueueBytes_) return 2;
        if (needPrepare_) {
            needPrepare_ = false;
            if (!executor_->prepare(*this)) {
                running_ = false;
                ended_ = true;
                return -1;
            }
        }
        if (!continuing_) {
            if (executor_->atEnd()) {
                running_ = false;
                ended_ = true;
                return -1;
            }
            if (!firstLine_ && isBreakpoint(executor_->position())) {
                running_ = false;
                return -1;
            }
            lineStart_ = executor_->position();
        }
        firstLine_ = false;
        switch (executor_->executeLine(*this)) {
        case LineOutcome::Executed:
            continuing_ = false;
            if (executor_->atEnd()) {
                // Ran off the last line: that line ended the program.
                executor_->setPosition(lineStart_);
                running_ = false;
                ended_ = true;
                return -1;
            }
            if (stepping_) {
                running_ = false;
                stepping_ = false;
                return -1;
            }
            break;
        case LineOutcome::Blocked: {
            continuing_ = true;
            // Asleep until the line can go on; a command wakes the board
            // sooner and the line is looked at again then.
            const std::uint64_t until = executor_->blockedUntilMs(), now = clock_();
            return until > now ? static_cast<int>(std::min<std::uint64_t>(until - now, kLongestSleepMs)) : 1;
        }
        case LineOutcome::NeedsInput:
            continuing_ = true;
            waitingInput_ = true;
            return -1;
        case LineOutcome::Ended:
        case LineOutcome::Failed:
            continuing_ = false;
            running_ = false;
            stepping_ = false;
            ended_ = true;
            return -1;
        }
    }
    return running_ && !waitingInput_ ? 0 : -1;
}

std::uint8_t RunControl::statusBits() const {
    std::uint8_t s = 0;
    if (running_) s |= 0x20;
    if (waitingInput_) s |= 0x10;
    return s;
}

std::string RunControl::inputPrompt() const { return waitingInput_ ? executor_->inputPrompt() : std::string(); }

void RunControl::provideInput(std::string_view answer) {
    if (!waitingInput_) return;
    executor_->provideInput(answer);
    waitingInput_ = false;
    continuing_ = false;
    if (executor_->atEnd()) {
        running_ = false;
        ended_ = true;
    } else if (stepping_) {
        running_ = false;
        stepping_ = false;
    }
}

void RunControl::sendCharacter(std::uint8_t c) {
    if (characters_.size() < kMaxQueuedCharacters) characters_.push_back(c);
}

void RunControl::executeAci(std::string_view line) { executor_->executeAci(line, *this); }

void RunControl::consoleWrite(std::string_view bytes) { console_.append(bytes); }

std::optional<std::uint8_t> RunControl::takeCharacter() {
    if (characters_.empty()) return std::nullopt;
    std::uint8_t c = characters_.front();
    characters_.pop_front();
    return c;
}

std::int32_t RunControl::storedValue(int index) { return eeprom_.storedValue(index); }

void RunControl::setStoredValue(int index, std::int32_t value) {
    if (eeprom_.storedValue(index) == value) return;
    eeprom_.setStoredValue(index, value);
    try {
        eeprom_.commit();
    } catch (const std::exception&) {
        // The value stays in memory; the image keeps its last good state.
    }
}

}  // namespace vboard
