#include "board/interpreter/Modules.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vboard {

int moduleTypeCode(ModuleType type) {
    switch (type) {
    case ModuleType::Orlen: return 0;
    case ModuleType::Membo: return 2;
    case ModuleType::Daska: return 3;
    }
    return -1;
}

const char* moduleTypeName(ModuleType type) {
    switch (type) {
    case ModuleType::Orlen: return "Orlen servo";
    case ModuleType::Daska: return "Daska stepper";
    case ModuleType::Membo: return "Membo I/O module";
    }
    return "?";
}

Rig defaultRig() {
    Rig rig;
    rig[0] = ModuleType::Orlen;
    rig[1] = ModuleType::Daska;
    rig[2] = ModuleType::Membo;
    return rig;
}

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

}  // namespace

std::optional<Rig> parseRig(std::string_view text, std::string* error) {
    Rig rig;
    text = trim(text);
    if (text.empty()) return rig;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view part = trim(text.substr(0, comma));
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) {
            fail(error, "expected address=type, got '" + std::string(part) + "'");
            return std::nullopt;
        }
        const std::string_view addr = trim(part.substr(0, eq));
        const std::string name = lower(trim(part.substr(eq + 1)));
        if (addr.size() != 1 || addr[0] < '1' || addr[0] > '8') {
            fail(error, "module address must be 1 to 8, got '" + std::string(addr) + "'");
            return std::nullopt;
        }
        const std::size_t index = static_cast<std::size_t>(addr[0] - '1');
        if (rig[index]) {
            fail(error, "address " + std::string(addr) + " given twice");
            return std::nullopt;
        }
        if (name == "orlen") rig[index] = ModuleType::Orlen;
        else if (name == "daska") rig[index] = ModuleType::Daska;
        else if (name == "membo") rig[index] = ModuleType::Membo;
        else {
            fail(error, "unknown module type '" + name + "' (orlen, daska or membo)");
            return std::nullopt;
        }
        if (comma == std::string_view::npos) break;
        text = text.substr(comma + 1);
    }
    return rig;
}

// ---------------------------------------------------------------- Module

Module::Module(ModuleType type, std::uint64_t nowMs) : type_(type) {
    // Plausible levels of a rig at rest: sensors somewhere mid-range. These
    // belong to the rig, so a power cycle of the module keeps them.
    switch (type_) {
    case ModuleType::Orlen: analog_ = {57, 0, 0}; break;
    case ModuleType::Daska: analog_ = {112, 0, 0}; break;
    case ModuleType::Membo: analog_ = {64, 128, 192}; break;
    }
    powerUp(nowMs);
}

int Module::version() const {
    switch (type_) {
    case ModuleType::Orlen: return 21;
    case ModuleType::Daska: return 12;
    case ModuleType::Membo: return 15;
    }
    return 0;
}

void Module::powerUp(std::uint64_t nowMs) {
    // Everything the module holds goes back to its defaults; what the rig
    // feeds it (inputs, analog levels, link errors) stays.
    motion_ = Motion::Idle;
    pos_ = vel_ = goal_ = vmax_ = acc_ = 0;
    decelerating_ = false;
    home_ = 0;
    homingMode_ = 0;
    homeArmed_ = false;
    latched_ = 0;
    loadedGoal_ = 0;
    loadedVel_ = type_ == ModuleType::Daska ? 10 : 100000;
    loadedAcc_ = type_ == ModuleType::Daska ? 20 : 1000;
    loadedPwm_ = 0;
    servoOn_ = false;
    ampEnabled_ = true;
    gains_ = {100, 1000, 0, 0, 255, 0, 2000, 1, 1, 1};
    stepMode_ = 15;
    minSpeed_ = 10;
    runCurrent_ = 20;
    holdCurrent_ = 10;
    thermal_ = 0;
    outputs_ = 14;
    directions_ = 0xFFF;
    outputLatch_ = 0;
    pwm1_ = pwm2_ = 0;
    timerMode_ = 0;
    timerBase_ = 0;
    timerSince_ = nowMs;
    lastMs_ = nowMs;
}

double Module::countsPerMsPerUnit() const {
    if (type_ == ModuleType::Orlen) return 1.0 / 65536.0;  // velocity data is 16.16 counts per tick
    // Stepper: 25 steps per second per velocity unit at 1x, times the speed mode.
    static constexpr int kMultiplier[4] = {8, 4, 2, 1};  // bits 0,1 of the step mode
    return 25.0 * kMultiplier[stepMode_ & 3] / 1000.0;
}

void Module::advance(std::uint64_t nowMs) {
    if (nowMs <= lastMs_) return;
    const std::uint64_t ticks = nowMs - lastMs_;
    lastMs_ = nowMs;
    if (motion_ == Motion::Idle) return;
    std::uint64_t left = ticks;
    while (left > 0 && motion_ != Motion::Idle) {
        // A motor at constant speed with nothing to capture moves in one
        // stride up to shortly before the next limit switch, so that a
        // velocity move left running for hours costs no more than a short one.
        const bool steady = (motion_ == Motion::Pwm || (motion_ == Motion::Velocity && !decelerating_ &&
                                                        vel_ == vmax_)) && !homeArmed_ && vel_ != 0;
        if (steady && left > 2) {
            const double limit = static_cast<double>(type_ == ModuleType::Orlen ? kServoLimit : kStepperLimit);
            const double room = vel_ > 0 ? limit - pos_ : pos_ + limit;
            const double strideTicks = std::floor(room / std::fabs(vel_)) - 2;
            if (strideTicks >= 1) {
                const auto k = std::min<std::uint64_t>(left - 1, static_cast<std::uint64_t>(strideTicks));
                pos_ += vel_ * static_cast<double>(k);
                left -= k;
                continue;
            }
        }
        tick();
        --left;
    }
}

std::uint64_t Module::msUntilIdleAtLeast() const {
    if (motion_ == Motion::Idle) return 0;
    if (homeArmed_) return 1;
    const double speed = std::max(std::fabs(vel_), std::fabs(vmax_));
    double ms = 1;
    if (decelerating_) {
        if (acc_ > 0) ms = std::fabs(vel_) / acc_;
    } else if (motion_ == Motion::Position) {
        if (speed > 0) ms = std::fabs(goal_ - pos_) / speed;
    } else if (type_ == ModuleType::Daska && motion_ == Motion::Velocity) {
        // It runs until a limit switch stops it.
        const double limit = static_cast<double>(kStepperLimit);
        if (speed > 0) ms = (vel_ >= 0 ? limit - pos_ : pos_ + limit) / speed;
    } else {
        // A servo at a speed or a PWM runs until it is told to stop, which
        // comes with a command that wakes the board anyway.
        ms = 60000;
    }
    // A tick short, against rounding in the profile.
    return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::max(0.0, ms - 1)));
}

bool Module::limit1Active() const {
    const std::int64_t limit = type_ == ModuleType::Orlen ? kServoLimit : kStepperLimit;
    const bool external = type_ == ModuleType::Daska && (stepperInputsExternal_ & 0x01);
    return pos_ <= -static_cast<double>(limit) || external;
}

bool Module::limit2Active() const {
    const std::int64_t limit = type_ == ModuleType::Orlen ? kServoLimit : kStepperLimit;
    const bool external = type_ == ModuleType::Daska && (stepperInputsExternal_ & 0x02);
    return pos_ >= static_cast<double>(limit) || external;
}

void Module::tick() {
    const double before = pos_;
    switch (motion_) {
    case Motion::Idle:
        return;
    case Motion::Pwm:
        pos_ += vel_;
        break;
    case Motion::Velocity: {
        const double target = decelerating_ ? 0.0 : vmax_;
        if (vel_ < target) vel_ = std::min(target, vel_ + acc_);
        else if (vel_ > target) vel_ = std::max(target, vel_ - acc_);
        pos_ += vel_;
        if (decelerating_ && vel_ == 0) stopAbrupt();
        break;
    }
    case Motion::Position: {
        const double d = goal_ - pos_;
        const double dir = d > 0 ? 1.0 : (d < 0 ? -1.0 : 0.0);
        if (decelerating_) {
            if (vel_ > 0) vel_ = std::max(0.0, vel_ - acc_);
            else vel_ = std::min(0.0, vel_ + acc_);
            pos_ += vel_;
            if (vel_ == 0) stopAbrupt();
            break;
        }
        const double speed = vel_ * dir;  // positive when heading for the goal
        const double braking = speed > 0 ? speed * speed / (2 * acc_) : 0;
        if (speed < 0) vel_ += dir * acc_;                       // turn round first
        else if (braking >= std::fabs(d) - speed) vel_ -= dir * std::min(acc_, speed);
        else vel_ = dir * std::min(vmax_, speed + acc_);
        if (vel_ == 0 && dir != 0) vel_ = dir * std::min(acc_, std::fabs(d));  // creep the rest
        const double next = pos_ + vel_;
        if (dir == 0 || (goal_ - next) * dir <= 0 || std::fabs(goal_ - next) < 0.5) {
            pos_ = goal_;
            stopAbrupt();
        } else {
            pos_ = next;
        }
        break;
    }
    }

    if (homeArmed_ && homeConditionMet(before, pos_)) homeFound();

    if (type_ == ModuleType::Orlen) {
        if (limit1Active()) latched_ |= status::Limit1;
        if (limit2Active()) latched_ |= status::Limit2;
    } else if (type_ == ModuleType::Daska && motion_ != Motion::Idle) {
        // The stepper stops itself at a limit switch or on emergency unless told not to.
        const bool atLimit = (vel_ < 0 && limit1Active()) || (vel_ > 0 && limit2Active());
        const bool emergency = stepperInputsExternal_ & 0x04;
        if ((atLimit && !(stepMode_ & 0x04)) || (emergency && !(stepMode_ & 0x08))) {
            latched_ |= status::LimitStop;
            stopAbrupt();
            if (stepMode_ & 0x10) ampEnabled_ = false;
        }
    }
}

bool Module::homeConditionMet(double before, double after) const {
    const int m = homingMode_;
    if ((m & 0x01) && limit1Active()) return true;
    if ((m & 0x02) && limit2Active()) return true;
    if (m & 0x08) {
        if (type_ == ModuleType::Orlen) {
            const auto mark = [](double p) {
                return static_cast<std::int64_t>(std::floor(p / static_cast<double>(kIndexSpacing)));
            };
            if (mark(before) != mark(after)) return true;
        } else {
            const auto inWindow = [](double p) {
                return p >= static_cast<double>(kHomeSwitchFrom) && p <= static_cast<double>(kHomeSwitchTo);
            };
            if (!inWindow(before) && inWindow(after)) return true;
            if ((before < kHomeSwitchFrom) != (after < kHomeSwitchFrom) && !inWindow(before)) return true;
        }
    }
    return false;
}

void Module::homeFound() {
    homeArmed_ = false;
    if (type_ == ModuleType::Orlen && (homingMode_ & 0x08) && !limit1Active() && !limit2Active()) {
        // The index mark that was crossed, not where the tick happened to end.
        const double spacing = static_cast<double>(kIndexSpacing);
        const double mark = vel_ >= 0 ? std::floor(pos_ / spacing) * spacing
                                      : std::ceil(pos_ / spacing) * spacing;
        home_ = static_cast<std::int32_t>(static_cast<std::int64_t>(mark));
    } else if (type_ == ModuleType::Daska && (homingMode_ & 0x08)) {
        home_ = static_cast<std::int32_t>(vel_ >= 0 ? kHomeSwitchFrom : kHomeSwitchTo);
    } else {
        home_ = position();
    }
    if (homingMode_ & 0x04) {
        stopAbrupt();
        servoOn_ = false;
    } else if (homingMode_ & 0x10) {
        stopAbrupt();
    } else if (homingMode_ & 0x20) {
        stopSmooth();
    }
}

void Module::stopAbrupt() {
    motion_ = Motion::Idle;
    vel_ = 0;
    decelerating_ = false;
}

void Module::stopSmooth() {
    if (motion_ == Motion::Idle) return;
    if (motion_ == Motion::Pwm || acc_ <= 0) {
        stopAbrupt();
        return;
    }
    decelerating_ = true;
}

std::uint8_t Module::statusByte() const {
    std::uint8_t s = checksumError_ ? status::ChecksumError : 0;
    switch (type_) {
    case ModuleType::Orlen:
        if (motion_ == Motion::Idle || motion_ == Motion::Pwm) s |= status::MoveDone;
        if (servoOn_) s |= status::ServoOn;
        s |= latched_ & (status::CurrentLimit | status::PositionError | status::Limit1 | status::Limit2);
        if (limit1Active()) s |= status::Limit1;
        if (limit2Active()) s |= status::Limit2;
        if (homeArmed_) s |= status::HomeInProgress;
        break;
    case ModuleType::Daska:
        if (motion_ == Motion::Idle) s |= status::MoveDone;
        if (ampEnabled_) s |= status::AmpEnabled;
        s |= status::PowerOn;
        if (motion_ != Motion::Idle && !decelerating_ && std::fabs(vel_) >= std::fabs(vmax_)) s |= status::AtSpeed;
        if (motion_ == Motion::Velocity) s |= status::VelocityMode;
        s |= latched_ & status::LimitStop;
        if (homeArmed_) s |= status::HomeInProgress;
        break;
    case ModuleType::Membo:
        s |= status::PowerOn;
        if (timerMode_ & 1) s |= status::TimerRunning;
        break;
    }
    return s;
}

std::int32_t Module::position() const {
    // The counter is 32 bits wide and wraps like the hardware's.
    const auto whole = static_cast<std::int64_t>(std::llround(pos_));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
}

std::int32_t Module::velocity() const {
    const double perSecond = std::round(vel_ * 1000.0);
    return static_cast<std::int32_t>(std::clamp(perSecond, -32768.0, 32767.0));
}

std::int32_t Module::positionError() const {
    // A servo lags its command by about two ticks while it moves.
    if (motion_ == Motion::Idle) return 0;
    return static_cast<std::int32_t>(std::clamp(std::round(vel_ * 2.0), -32768.0, 32767.0));
}

std::uint8_t Module::auxStatus() const {
    std::uint8_t s = 0;
    const double spacing = static_cast<double>(kIndexSpacing);
    if (std::fabs(pos_ - std::round(pos_ / spacing) * spacing) < 1.0) s |= 0x01;  // on an index mark
    if (servoOn_) s |= 0x04;
    if (motion_ == Motion::Position || motion_ == Motion::Velocity) {
        if (decelerating_ || std::fabs(vel_) < std::fabs(vmax_)) s |= 0x08;  // changing speed
        else s |= 0x10;                                          // slewing
    }
    return s;
}

std::uint8_t Module::stepperInputs() const {
    std::uint8_t s = stepperInputsExternal_;
    if (limit1Active()) s |= 0x01;
    if (limit2Active()) s |= 0x02;
    if (pos_ >= static_cast<double>(kHomeSwitchFrom) && pos_ <= static_cast<double>(kHomeSwitchTo)) s |= 0x08;
    return s;
}

int Module::analog(int channel) const {
    if (channel < 1 || channel > 3) return 0;
    return analog_[static_cast<std::size_t>(channel - 1)];
}

void Module::setAnalog(int channel, int value) {
    if (channel < 1 || channel > 3) return;
    analog_[static_cast<std::size_t>(channel - 1)] = std::clamp(value, 0, 255);
}

std::int32_t Module::ioInputs() const {
    return ((externalInputs_ & directions_) | (outputLatch_ & ~directions_)) & 0xFFF;
}

void Module::servoTrajectory(int mode, std::int32_t goal, std::int32_t velocity,
                             std::int32_t acceleration, int pwm) {
    if (mode & 0x01) loadedGoal_ = goal;
    if (mode & 0x02) loadedVel_ = std::max(0, velocity);
    if (mode & 0x04) loadedAcc_ = std::max(0, acceleration);
    if (mode & 0x08) loadedPwm_ = std::clamp(pwm, 0, 255);
    if (mode & 0x10) servoOn_ = true;
    if (!(mode & 0x80) || !ampEnabled_) return;

    decelerating_ = false;
    const double unit = countsPerMsPerUnit();
    if (!(mode & 0x10)) {
        // PWM: the motor turns at a speed set by the duty cycle, no profile.
        servoOn_ = false;
        acc_ = 0;
        vel_ = loadedPwm_ / 255.0 * 5.0 * ((mode & 0x40) ? -1 : 1);
        motion_ = loadedPwm_ > 0 ? Motion::Pwm : Motion::Idle;
        return;
    }
    vmax_ = loadedVel_ * unit;
    // No acceleration data means "at once": the full speed in one tick.
    acc_ = loadedAcc_ > 0 ? loadedAcc_ * unit : vmax_;
    if (vmax_ <= 0) {
        stopAbrupt();
        return;
    }
    if (mode & 0x20) {
        if (mode & 0x40) vmax_ = -vmax_;
        motion_ = Motion::Velocity;
    } else {
        goal_ = loadedGoal_;
        motion_ = Motion::Position;
    }
}

void Module::servoGain(const std::array<std::int32_t, 10>& params) { gains_ = params; }

void Module::clearLatchedBits() { latched_ = 0; }

void Module::stepperTrajectory(int mode, std::int32_t goal, int velocity, int acceleration) {
    if (mode & 0x01) loadedGoal_ = goal;
    if (mode & 0x02) loadedVel_ = std::clamp(velocity, 1, 250);
    if (mode & 0x04) loadedAcc_ = std::clamp(acceleration, 1, 255);
    if (!(mode & 0x80) || !ampEnabled_) return;
    decelerating_ = false;
    const double unit = countsPerMsPerUnit();
    vmax_ = loadedVel_ * unit;
    // A larger acceleration value means a slower ramp: 25000 steps/s^2 at
    // value 1 and 1x, scaled by the speed mode like the velocity.
    acc_ = unit / loadedAcc_;
    if (mode & 0x01) {
        goal_ = loadedGoal_;
        motion_ = Motion::Position;
    } else {
        if (mode & 0x10) vmax_ = -vmax_;
        motion_ = Motion::Velocity;
    }
}

void Module::stepperParameters(int mode, int minSpeed, int runCurrent, int holdCurrent,
                               int thermal) {
    stepMode_ = mode & 0xFF;
    minSpeed_ = minSpeed;
    runCurrent_ = runCurrent;
    holdCurrent_ = holdCurrent;
    thermal_ = thermal;
}

void Module::stopMotor(int mode) {
    ampEnabled_ = mode & 0x01;
    if (!ampEnabled_) {
        stopAbrupt();
        servoOn_ = false;
        return;
    }
    if (type_ == ModuleType::Orlen && (mode & 0x02)) {
        stopAbrupt();
        servoOn_ = false;
    } else if (mode & 0x04) {
        stopAbrupt();
    } else if (mode & 0x08) {
        stopSmooth();
    } else if (type_ == ModuleType::Orlen && (mode & 0x10) && motion_ != Motion::Idle) {
        // Finish at the goal that was loaded last, from whatever motion runs now.
        goal_ = loadedGoal_;
        if (acc_ <= 0) acc_ = std::max(std::fabs(vmax_), 1.0);
        vmax_ = std::fabs(vmax_) > 0 ? std::fabs(vmax_) : std::fabs(vel_);
        motion_ = Motion::Position;
        decelerating_ = false;
    }
}

void Module::setHoming(int mode) {
    homingMode_ = mode & 0xFF;
    homeArmed_ = (homingMode_ & 0x0B) != 0 || (type_ == ModuleType::Orlen && (homingMode_ & 0xC0));
}

void Module::resetPosition() {
    // The counter is zeroed; a running position move keeps its goal in the new frame.
    goal_ -= pos_;
    pos_ = 0;
}

void Module::setDirection(int pin, bool input) {
    const std::int32_t bit = 1 << (pin - 1);
    directions_ = input ? (directions_ | bit) : (directions_ & ~bit);
}

void Module::setOutput(int pin, bool high) {
    const std::int32_t bit = 1 << (pin - 1);
    outputLatch_ = high ? (outputLatch_ | bit) : (outputLatch_ & ~bit);
}

namespace {
constexpr std::int64_t kTimerWrap = 2147483648LL;  // the count runs 0 .. 2^31-1
constexpr double kTimerHz = 10000.0;               // before the prescaler
}  // namespace

void Module::setTimerMode(int mode, std::uint64_t nowMs) {
    timerMode_ = mode & 0xFF;
    timerBase_ = 0;
    timerSince_ = nowMs;
}

std::int32_t Module::timerValue(std::uint64_t nowMs) const {
    std::int64_t value = timerBase_;
    const bool enabled = timerMode_ & 0x01;
    const bool counter = timerMode_ & 0x02;
    if (enabled && !counter && nowMs > timerSince_) {
        static constexpr int kPrescale[4] = {1, 2, 4, 8};
        const double rate = kTimerHz / kPrescale[(timerMode_ >> 4) & 3];
        value += static_cast<std::int64_t>(static_cast<double>(nowMs - timerSince_) * rate / 1000.0);
    }
    return static_cast<std::int32_t>(value % kTimerWrap);
}

void Module::setTimerValue(std::int32_t value, std::uint64_t nowMs) {
    timerBase_ = std::max<std::int32_t>(0, value);
    timerSince_ = nowMs;
}

// ---------------------------------------------------------------- network

ModuleNetwork::ModuleNetwork(const Rig& rig) { setRig(rig, 0); }

void ModuleNetwork::setRig(const Rig& rig, std::uint64_t nowMs) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].reset();
        if (rig[i]) slots_[i].emplace(*rig[i], nowMs);
    }
}

Rig ModuleNetwork::rig() const {
    Rig rig;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i]) rig[i] = slots_[i]->type();
    return rig;
}

int ModuleNetwork::count() const {
    return static_cast<int>(std::count_if(slots_.begin(), slots_.end(),
                                          [](const auto& m) { return m.has_value(); }));
}

Module* ModuleNetwork::at(int address) {
    if (address < 1 || address > 8) return nullptr;
    auto& slot = slots_[static_cast<std::size_t>(address - 1)];
    return slot ? &*slot : nullptr;
}

const Module* ModuleNetwork::at(int address) const {
    return const_cast<ModuleNetwork*>(this)->at(address);
}

void ModuleNetwork::resetAll(std::uint64_t nowMs) {
    for (auto& m : slots_)
        if (m) m->powerUp(nowMs);
}

void ModuleNetwork::stopAll(std::uint64_t nowMs) {
    for (auto& m : slots_) {
        if (!m) continue;
        m->advance(nowMs);
        if (m->type() != ModuleType::Membo) m->stopMotor(0x05);
    }
}

void ModuleNetwork::setCommErrors(int n) {
    commErrors_ = std::max(0, n);
    for (auto& m : slots_)
        if (m) m->setCommErrorFlag(commErrors_ > 0);
}

}  // namespace vboard
