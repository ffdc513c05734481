// The simulated VQL network: up to eight modules at addresses 1 to 8.
//
//   ModuleType, Rig, parseRig, defaultRig   which module sits at which address
//   Module                                  one module's state and behaviour
//   ModuleNetwork                           the eight slots, the stored values
//                                           that are not a module's (memory)
//
// Motion is computed from the board's clock: every call that reads or
// changes a module first brings it up to the given time (advance), so a
// position read while a move runs shows the move's progress. The profile is
// integrated in 1 ms servo ticks, which keeps start, cruise, braking and the
// exact stop at the goal simple and deterministic for a given clock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vboard {

enum class ModuleType { Orlen, Daska, Membo };

// What gettype answers for each type.
int moduleTypeCode(ModuleType type);
// "Orlen servo", "Daska stepper", "Membo I/O module".
const char* moduleTypeName(ModuleType type);

// Index 0 is address 1.
using Rig = std::array<std::optional<ModuleType>, 8>;

// 1 Orlen servo, 2 Daska stepper, 3 Membo I/O.
Rig defaultRig();

// Parses a rig description such as "1=orlen,2=daska,3=membo" (addresses 1
// to 8, type names in any case, blanks allowed around the parts, each address
// at most once; an empty text is an empty network). On failure returns
// nothing and, if error is given, a one-line reason.
std::optional<Rig> parseRig(std::string_view text, std::string* error = nullptr);

// Status byte bits (bit 0 is the lowest). Shared meaning where it makes sense.
namespace status {
constexpr std::uint8_t MoveDone = 0x01;      // Orlen, Daska: no move running
constexpr std::uint8_t ChecksumError = 0x02; // all: set while comm errors are counted
constexpr std::uint8_t CurrentLimit = 0x04;  // Orlen (latched)
constexpr std::uint8_t AmpEnabled = 0x04;    // Daska
constexpr std::uint8_t ServoOn = 0x08;       // Orlen
constexpr std::uint8_t PowerOn = 0x08;       // Daska, Membo
constexpr std::uint8_t PositionError = 0x10; // Orlen (latched)
constexpr std::uint8_t AtSpeed = 0x10;       // Daska
constexpr std::uint8_t TimerRunning = 0x10;  // Membo
constexpr std::uint8_t Limit1 = 0x20;        // Orlen (latched)
constexpr std::uint8_t VelocityMode = 0x20;  // Daska
constexpr std::uint8_t Limit2 = 0x40;        // Orlen (latched)
constexpr std::uint8_t LimitStop = 0x40;     // Daska: stopped by a limit (latched)
constexpr std::uint8_t HomeInProgress = 0x80;// Orlen, Daska: homing armed, not yet found
}  // namespace status

class Module {
public:
    Module(ModuleType type, std::uint64_t nowMs);

    ModuleType type() const { return type_; }
    int version() const;

    // Back to the power-up state at the given time.
    void powerUp(std::uint64_t nowMs);
    // Brings the motion, homing and timer up to the given time.
    void advance(std::uint64_t nowMs);

    // --- what programs read (call advance first) ---
    std::uint8_t statusByte() const;
    std::int32_t position() const;
    std::int32_t homePosition() const { return home_; }
    std::int32_t velocity() const;       // counts (steps) per second, limited to 16 bits
    std::int32_t positionError() const;  // Orlen: following error in counts
    std::uint8_t auxStatus() const;      // Orlen auxiliary status
    std::uint8_t stepperInputs() const;  // Daska input bits
    int analog(int channel) const;       // channel 1 (Orlen, Daska) or 1..3 (Membo)
    std::int32_t ioInputs() const;       // Membo: 12 bits, pin 1 = bit 0
    std::int32_t timerValue(std::uint64_t nowMs) const;
    bool moving() const { return motion_ != Motion::Idle; }
    // Milliseconds before which a move now under way cannot end, at least 1
    // (0 when no move runs): the distance left at the highest speed it may
    // reach, or the braking left. A move that only a homing event may end
    // is given 1, as that event can come at any tick.
    std::uint64_t msUntilIdleAtLeast() const;

    // --- what programs do (call advance first) ---
    // Orlen: mode bits as the catalogue gives them.
    void servoTrajectory(int mode, std::int32_t goal, std::int32_t velocity,
                         std::int32_t acceleration, int pwm);
    void servoGain(const std::array<std::int32_t, 10>& params);
    void clearLatchedBits();
    // Daska.
    void stepperTrajectory(int mode, std::int32_t goal, int velocity, int acceleration);
    void stepperParameters(int mode, int minSpeed, int runCurrent, int holdCurrent,
                           int thermal);
    void stepperOutputs(int value) { outputs_ = value & 0xFF; }
    // Orlen and Daska.
    void stopMotor(int mode);
    void setHoming(int mode);
    void resetPosition();
    // Membo.
    void setDirection(int pin, bool input);
    void setOutput(int pin, bool high);
    void setPwm(int pwm1, int pwm2) { pwm1_ = pwm1; pwm2_ = pwm2; }
    void setTimerMode(int mode, std::uint64_t nowMs);

    // --- the rig's side: values a test or the board sets ---
    void setAnalog(int channel, int value);
    void setExternalInputs(std::int32_t bits) { externalInputs_ = bits & 0xFFF; }
    void setStepperInputs(std::uint8_t bits) { stepperInputsExternal_ = bits; }
    void setTimerValue(std::int32_t value, std::uint64_t nowMs);
    void setCommErrorFlag(bool on) { checksumError_ = on; }
    std::int32_t outputLatch() const { return outputLatch_; }
    std::int32_t directions() const { return directions_; }
    int pwm1() const { return pwm1_; }
    int pwm2() const { return pwm2_; }

    // Distances of the simulated rig: encoder index marks on the servo, the
    // stepper's home switch window, and the limit switches at both ends.
    static constexpr std::int64_t kIndexSpacing = 2000;
    static constexpr std::int64_t kHomeSwitchFrom = 500, kHomeSwitchTo = 520;
    static constexpr std::int64_t kServoLimit = 1000000, kStepperLimit = 100000;

private:
    enum class Motion { Idle, Position, Velocity, Pwm };
    void tick();  // one servo tick of 1 ms
    bool homeConditionMet(double before, double after) const;
    void homeFound();
    void stopAbrupt();
    void stopSmooth();
    bool limit1Active() const;
    bool limit2Active() const;
    double countsPerMsPerUnit() const;

    ModuleType type_;
    std::uint64_t lastMs_ = 0;

    // Motion, in counts and counts per millisecond.
    Motion motion_ = Motion::Idle;
    double pos_ = 0, vel_ = 0;
    double goal_ = 0, vmax_ = 0, acc_ = 0;
    bool decelerating_ = false;  // smooth stop under way
    std::int32_t home_ = 0;
    int homingMode_ = 0;
    bool homeArmed_ = false;
    std::uint8_t latched_ = 0;
    bool checksumError_ = false;

    // Orlen: loaded trajectory data, gains, enable state.
    std::int32_t loadedGoal_ = 0, loadedVel_ = 100000, loadedAcc_ = 1000;
    int loadedPwm_ = 0;
    bool servoOn_ = false, ampEnabled_ = true;
    std::array<std::int32_t, 10> gains_{100, 1000, 0, 0, 255, 0, 2000, 1, 1, 1};

    // Daska: loaded data and parameters.
    int stepMode_ = 15, minSpeed_ = 10, runCurrent_ = 20, holdCurrent_ = 10, thermal_ = 0;
    int outputs_ = 14;
    std::uint8_t stepperInputsExternal_ = 0;

    // Membo.
    std::int32_t directions_ = 0xFFF;  // 1 = input
    std::int32_t outputLatch_ = 0;
    std::int32_t externalInputs_ = 0;
    int pwm1_ = 0, pwm2_ = 0;
    int timerMode_ = 0;
    std::int64_t timerBase_ = 0;       // count when timerSince_ was taken
    std::uint64_t timerSince_ = 0;

    std::array<int, 3> analog_{};
};

class ModuleNetwork {
public:
    explicit ModuleNetwork(const Rig& rig = defaultRig());

    // Replaces the modules (power-up state).
    void setRig(const Rig& rig, std::uint64_t nowMs = 0);
    Rig rig() const;
    int count() const;

    // The module at address 1..8, or nullptr.
    Module* at(int address);
    const Module* at(int address) const;

    // nmreset: every module back to power-up.
    void resetAll(std::uint64_t nowMs);
    // Program reset: every motor stopped at once.
    void stopAll(std::uint64_t nowMs);

    int commErrors() const { return commErrors_; }
    void setCommErrors(int n);

    static constexpr int kMemorySize = 4096;
    std::uint8_t peek(int address) const { return memory_[static_cast<std::size_t>(address)]; }
    void poke(int address, std::uint8_t value) { memory_[static_cast<std::size_t>(address)] = value; }

private:
    std::array<std::optional<Module>, 8> slots_;
    int commErrors_ = 0;
    std::array<std::uint8_t, kMemorySize> memory_{};
};

}  // namespace vboard
