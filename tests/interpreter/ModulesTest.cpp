// The simulated module network as programs see it: moves that take real time
// on the board's clock, stops, homing, status bits, I/O, timers, and rigs.
#include "FakeHost.h"

#include <gtest/gtest.h>

namespace vboard::test {
namespace {

// Runs one ACI-style statement and answers a value the program computes.
std::int32_t value(TravinInterpreter& interp, FakeHost& host, const std::string& expr) {
    interp.executeAci("Z = " + expr, host);
    EXPECT_EQ(host.console.find("error"), std::string::npos) << host.console;
    return interp.variable(25);
}

TEST(ServoMove, GetposSeesProgressAndWaitmoveSeesTheEnd) {
    TravinInterpreter interp;
    FakeHost host;
    const std::string text = program({"svtraj(1, 151, 4000, 100000, 1000, 0)", "waitmove(1)", "P = getpos(1)"});
    interp.load(text);
    ASSERT_TRUE(interp.prepare(host));
    ASSERT_EQ(interp.executeLine(host), LineOutcome::Executed);
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Blocked);
    EXPECT_EQ(interp.position(), lineStart(text, 1));

    std::int32_t last = value(interp, host, "getpos(1)");
    EXPECT_EQ(last, 0);
    int blocked = 0;
    while (interp.executeLine(host) == LineOutcome::Blocked && blocked < 1000) {
        ++blocked;
        host.now += 100;
        const std::int32_t now = value(interp, host, "getpos(1)");
        EXPECT_GE(now, last) << "a move to a larger goal never goes back";
        last = now;
        if (blocked == 5) {
            EXPECT_GT(now, 0);
            EXPECT_LT(now, 4000);
            EXPECT_EQ(value(interp, host, "testbit(getstat(1), 1)"), 0) << "move not done";
            EXPECT_GT(value(interp, host, "getsvvel(1)"), 0);
        }
    }
    // 4000 counts at about 1526 counts/s with a short ramp: close to 2.7 s.
    EXPECT_GE(blocked, 24);
    EXPECT_LE(blocked, 32);
    EXPECT_EQ(interp.executeLine(host), LineOutcome::Ended);
    EXPECT_EQ(interp.variable('P' - 'A'), 4000);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 1)"), 1);
    EXPECT_EQ(value(interp, host, "getsvvel(1)"), 0);
}

TEST(ServoMove, TrapezoidReachesTheVelocityAndHalfwayAtHalfTime) {
    TravinInterpreter interp;
    FakeHost host;
    // 65536 per tick units: velocity 131072 is 2 counts/ms, acceleration 655 about 0.01 counts/ms^2.
    interp.executeAci("svtraj(1, 151, 10000, 131072, 655, 0)", host);
    const std::uint64_t start = host.now;
    host.now = start + 100;
    EXPECT_NEAR(value(interp, host, "getsvvel(1)"), 1000, 20) << "still accelerating at 0.01 counts/ms^2";
    // Symmetric profile: ramps of 200 ms, total about 5.2 s; at half time half the distance.
    host.now = start + 2600;
    EXPECT_EQ(value(interp, host, "getsvvel(1)"), 2000) << "cruising";
    EXPECT_NEAR(value(interp, host, "getpos(1)"), 5000, 30);
    host.now = start + 5100;
    EXPECT_LT(value(interp, host, "getsvvel(1)"), 2000) << "braking";
    host.now = start + 5300;
    EXPECT_EQ(value(interp, host, "getpos(1)"), 10000);
}

TEST(ServoMove, VelocityModeRunsUntilStoppedSmoothly) {
    TravinInterpreter interp;
    FakeHost host;
    // Velocity mode, reverse: bits 1, 2, 4, 5, 6, 7.
    interp.executeAci("svtraj(1, 246, 0, 65536, 6554, 0)", host);
    host.now += 10000;
    const std::int32_t p = value(interp, host, "getpos(1)");
    EXPECT_NEAR(p, -10000, 20);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 1)"), 0);
    interp.executeAci("stopmot(1, 9)", host);  // enable amplifier, stop smoothly
    host.now += 5;
    EXPECT_NE(value(interp, host, "getsvvel(1)"), 0) << "still braking";
    host.now += 20;
    EXPECT_EQ(value(interp, host, "getsvvel(1)"), 0);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 1)"), 1);
}

TEST(ServoMove, LongVelocityMoveKeepsExactPaceAndLatchesTheLimit) {
    TravinInterpreter interp;
    FakeHost host;
    // 2 counts/ms forward, no ramp to speak of: after 400 s the servo is
    // 800000 counts on; after 600 s it has passed the limit at 1000000.
    interp.executeAci("svtraj(1, 182, 0, 131072, 131072, 0)", host);
    host.now += 400000;
    EXPECT_NEAR(value(interp, host, "getpos(1)"), 800000, 2);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 6)"), 0);
    host.now += 200000;
    EXPECT_NEAR(value(interp, host, "getpos(1)"), 1200000, 2);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 7)"), 1) << "limit 2 latched";
    interp.executeAci("stopmot(1, 5)", host);
    interp.executeAci("svcbits(1)", host);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 7)"), 1) << "still on the switch";
}

TEST(ServoMove, AbruptStopHoldsThePosition) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("svtraj(1, 151, 100000, 100000, 1000, 0)", host);
    host.now += 1000;
    interp.executeAci("stopmot(1, 5)", host);
    const std::int32_t at = value(interp, host, "getpos(1)");
    host.now += 1000;
    EXPECT_EQ(value(interp, host, "getpos(1)"), at);
    EXPECT_GT(at, 0);
}

TEST(ServoMove, NoStartWithoutBit7) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("svtraj(1, 23, 5000, 100000, 1000, 0)", host);  // load only
    host.now += 1000;
    EXPECT_EQ(value(interp, host, "getpos(1)"), 0);
    interp.executeAci("svtraj(1, 144, 0, 0, 0, 0)", host);  // start with what was loaded
    host.now += 10000;
    EXPECT_EQ(value(interp, host, "getpos(1)"), 5000);
}

TEST(Homing, ServoCapturesTheIndexMarkAndStops) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("homing(1, 24)", host);  // on index, stop abruptly
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 8)"), 1) << "home in progress";
    interp.executeAci("svtraj(1, 183, 0, 100000, 1000, 0)", host);  // velocity mode forward
    host.now += 5000;
    EXPECT_EQ(value(interp, host, "gethome(1)"), static_cast<std::int32_t>(Module::kIndexSpacing));
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 8)"), 0);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 1)"), 1) << "stopped on home";
    const std::int32_t p = value(interp, host, "getpos(1)");
    EXPECT_GE(p, Module::kIndexSpacing);
    EXPECT_LT(p, Module::kIndexSpacing + 10);
}

TEST(Homing, StepperCapturesTheHomeSwitch) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("homing(2, 40)", host);  // home switch, stop smoothly
    interp.executeAci("sttraj(2, 134, 0, 10, 20, 0)", host);
    EXPECT_NE(host.console.find("takes 5 arguments"), std::string::npos) << host.console;
    host.console.clear();
    interp.executeAci("sttraj(2, 134, 0, 10, 20)", host);  // velocity mode forward
    host.now += 5000;
    EXPECT_EQ(value(interp, host, "gethome(2)"), static_cast<std::int32_t>(Module::kHomeSwitchFrom));
    EXPECT_EQ(value(interp, host, "testbit(getstat(2), 1)"), 1);
}

TEST(Stepper, PositionMoveAndSpeedModes) {
    TravinInterpreter interp;
    FakeHost host;
    interp.executeAci("sttraj(2, 135, 300, 10, 20)", host);  // 250 steps/s
    host.now += 600;
    const std::int32_t mid = value(interp, host, "getpos(2)");
    EXPECT_GT(mid, 50);
    EXPECT_LT(mid, 300);
    host.now += 2000;
    EXPECT_EQ(value(interp, host, "getpos(2)"), 300);
    interp.executeAci("resetpos(2)", host);
    EXPECT_EQ(value(interp, host, "getpos(2)"), 0);
    // 2x speed mode (bit 1 only of the two speed bits) doubles the rate.
    interp.executeAci("stparam(2, 14, 10, 20, 10, 0)", host);
    interp.executeAci("sttraj(2, 150, 0, 10, 1)", host);  // velocity mode, reverse, quick ramp
    host.now += 1000;
    EXPECT_NEAR(value(interp, host, "getpos(2)"), -500, 5);
}

TEST(Stepper, AtSpeedBitFollowsTheRampInEitherDirection) {
    for (const char* mode : {"134", "150"}) {  // forward, reverse
        TravinInterpreter interp;
        FakeHost host;
        interp.executeAci(std::string("sttraj(2, ") + mode + ", 0, 10, 20)", host);
        host.now += 50;
        EXPECT_EQ(value(interp, host, "testbit(getstat(2), 5)"), 0) << mode << ": ramping";
        EXPECT_EQ(value(interp, host, "testbit(getstat(2), 6)"), 1) << mode << ": velocity mode";
        host.now += 500;
        EXPECT_EQ(value(interp, host, "testbit(getstat(2), 5)"), 1) << mode << ": at speed";
    }
}

TEST(Stepper, LimitSwitchStopsUnlessDisabled) {
    TravinInterpreter interp;
    FakeHost host;
    // The default step mode 15 disables the autostops: the limit is passed.
    interp.executeAci("sttraj(2, 134, 0, 10, 20)", host);
    host.now += 100;
    interp.modules().at(2)->setStepperInputs(0x02);  // limit 2 closes
    host.now += 10;
    EXPECT_EQ(value(interp, host, "testbit(getstat(2), 1)"), 0);
    EXPECT_EQ(value(interp, host, "getstin(2) and 2"), 2);
    // Mode 3: 1x speed with the autostops on.
    interp.executeAci("stparam(2, 3, 10, 20, 10, 0)", host);
    host.now += 10;
    EXPECT_EQ(value(interp, host, "testbit(getstat(2), 1)"), 1);
    EXPECT_EQ(value(interp, host, "testbit(getstat(2), 7)"), 1) << "stopped by a limit";
}

TEST(Status, OrlenStartsServoOffAndLatchedBitsClear) {
    TravinInterpreter interp;
    FakeHost host;
    EXPECT_EQ(value(interp, host, "getstat(1)"), 0x01);
    interp.executeAci("svtraj(1, 151, 0, 100000, 1000, 0)", host);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 4)"), 1) << "servo on";
    interp.executeAci("stopmot(1, 2 + 1)", host);
    EXPECT_EQ(value(interp, host, "testbit(getstat(1), 4)"), 0) << "motor off";
    EXPECT_EQ(value(interp, host, "gettype(1)"), 0);
    EXPECT_EQ(value(interp, host, "gettype(2)"), 3);
    EXPECT_EQ(value(interp, host, "gettype(3)"), 2);
    EXPECT_GT(value(interp, host, "getver(3)"), 0);
}

TEST(Membo, OutputsReadBackInputsFromTheRig) {
    TravinInterpreter interp;
    FakeHost host;
    interp.modules().at(3)->setExternalInputs(0x801);  // pins 1 and 12 high outside
    EXPECT_EQ(value(interp, host, "getioin(3)"), 0x801);
    interp.executeAci("iodir(3, 2, 0)", host);     // pin 2 an output
    interp.executeAci("iooutput(3, 2, 1)", host);
    interp.executeAci("iodir(3, 12, 0)", host);    // pin 12 an output, driven low
    EXPECT_EQ(value(interp, host, "getioin(3)"), 0x003);
    interp.executeAci("iooutput(3, 2, 0)", host);
    EXPECT_EQ(value(interp, host, "testbit(getioin(3), 2)"), 0);
    EXPECT_EQ(interp.modules().at(3)->outputLatch(), 0);
    interp.executeAci("iopwm(3, 64, 255)", host);
    EXPECT_EQ(interp.modules().at(3)->pwm2(), 255);
}

TEST(Membo, AnalogInputsArePlausibleAndSettable) {
    TravinInterpreter interp;
    FakeHost host;
    const std::int32_t a1 = value(interp, host, "getioad(3, 1)");
    EXPECT_GE(a1, 0);
    EXPECT_LE(a1, 255);
    interp.modules().at(3)->setAnalog(3, 300);
    EXPECT_EQ(value(interp, host, "getioad(3, 3)"), 255) << "an 8-bit converter";
    interp.modules().at(1)->setAnalog(1, 17);
    EXPECT_EQ(value(interp, host, "getad(1)"), 17);
    interp.executeAci("A = getioad(3, 4)", host);
    EXPECT_EQ(host.console, "ACI error: analog input 4 is not 1 to 3\r\n");
}

TEST(Membo, TimerCountsWithThePrescalerAndCanBeSet) {
    TravinInterpreter interp;
    FakeHost host;
    EXPECT_EQ(value(interp, host, "gettmr(3)"), 0) << "off at power-up";
    interp.executeAci("iotimer(3, 1)", host);  // timer, 1:1
    host.now += 1000;
    const std::int32_t t1 = value(interp, host, "gettmr(3)");
    interp.executeAci("iotimer(3, 49)", host);  // timer, 8:1
    host.now += 1000;
    EXPECT_EQ(value(interp, host, "gettmr(3)") * 8, t1);
    interp.modules().at(3)->setTimerValue(2147483000, host.now);
    interp.executeAci("iotimer(3, 3)", host);  // counter: counts only what the rig sets
    interp.modules().at(3)->setTimerValue(77, host.now);
    host.now += 1000;
    EXPECT_EQ(value(interp, host, "gettmr(3)"), 77);
}

TEST(Network, GetnminitNmresetAndErrors) {
    TravinInterpreter interp;
    FakeHost host;
    EXPECT_EQ(value(interp, host, "getnminit()"), 3);
    interp.executeAci("svtraj(1, 151, 50, 100000, 1000, 0)", host);
    host.now += 1000;
    interp.executeAci("nmreset", host);
    EXPECT_EQ(value(interp, host, "getpos(1)"), 0);
    interp.modules().setCommErrors(4);
    EXPECT_EQ(value(interp, host, "testbit(getstat(3), 2)"), 1) << "checksum error bit";
    EXPECT_EQ(value(interp, host, "geterr(1)"), 4);
    EXPECT_EQ(value(interp, host, "geterr(0)"), 0);
}

TEST(Network, ResetStopsMotorsButKeepsPositions) {
    TravinInterpreter interp;
    FakeHost host;
    interp.load(program({"sttraj(2, 134, 0, 10, 20)", "delay 1000"}));
    ASSERT_TRUE(interp.prepare(host));
    interp.executeLine(host);
    interp.executeLine(host);
    host.now += 500;
    interp.executeLine(host);
    interp.reset();
    const std::int32_t at = value(interp, host, "getpos(2)");
    EXPECT_GT(at, 0);
    host.now += 1000;
    EXPECT_EQ(value(interp, host, "getpos(2)"), at);
}

struct RigCase {
    const char* text;
    bool ok;
    std::array<int, 8> types;  // -1 none, else gettype's number
    const char* error;
};

class Rigs : public ::testing::TestWithParam<RigCase> {};

TEST_P(Rigs, ParseOrExplain) {
    const RigCase& c = GetParam();
    std::string error;
    const auto rig = parseRig(c.text, &error);
    ASSERT_EQ(rig.has_value(), c.ok) << error;
    if (!c.ok) {
        EXPECT_EQ(error, c.error);
        return;
    }
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ((*rig)[i] ? moduleTypeCode(*(*rig)[i]) : -1, c.types[i]) << "address " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Text, Rigs, ::testing::Values(
    RigCase{"1=orlen,2=daska,3=membo", true, {0, 3, 2, -1, -1, -1, -1, -1}, ""},
    RigCase{" 8 = MEMBO , 4=Orlen ", true, {-1, -1, -1, 0, -1, -1, -1, 2}, ""},
    RigCase{"", true, {-1, -1, -1, -1, -1, -1, -1, -1}, ""},
    RigCase{"9=orlen", false, {}, "module address must be 1 to 8, got '9'"},
    RigCase{"1=orlen,1=daska", false, {}, "address 1 given twice"},
    RigCase{"1=servo", false, {}, "unknown module type 'servo' (orlen, daska or membo)"},
    RigCase{"1orlen", false, {}, "expected address=type, got '1orlen'"}
));

TEST(Rigs, InterpreterUsesTheGivenRig) {
    TravinInterpreter interp(*parseRig("5=daska"));
    FakeHost host;
    EXPECT_EQ(value(interp, host, "gettype(5)"), 3);
    interp.executeAci("A = getpos(1)", host);
    EXPECT_EQ(host.console, "ACI error: no module at address 1\r\n");
}

}  // namespace
}  // namespace vboard::test
