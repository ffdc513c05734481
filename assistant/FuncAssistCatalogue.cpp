// The catalogue data. Texts are the board documentation's own wording and
// are kept exactly, odd spacing and spelling included, because users compare
// them with the data sheets.
#include "assistant/FuncAssistCatalogue.h"

namespace travin {
namespace {

// The two lists most entries share.
const FuncAssistParam kNoParams[] = {
    {"", ""},
};
const FuncAssistParam kModuleAddress[] = {
    {"1", "Module address (1 - 8)"},
    {"", ""},
};

// 1 geterr
const FuncAssistParam kParams1[] = {
    {"0", "reset (1=reset num errors to 0, 0=do not reset)"},
    {"", ""},
};
// 6 peek
const FuncAssistParam kParams6[] = {
    {"0", "Data memory address (0 - 4095)"},
    {"", ""},
};
// 7 retrieve
const FuncAssistParam kParams7[] = {
    {"0", "Memory address (0 - 249)"},
    {"", ""},
};
// 8 testbit
const FuncAssistParam kParams8[] = {
    {"0", "Data to test (variable or number)"},
    {"1", "Bit to test (1 - 32)"},
    {"", ""},
};
// 10 poke
const FuncAssistParam kParams10[] = {
    {"0", "Data memory address (0 - 4095)"},
    {"0", "Data to write (0 - 255)"},
    {"", ""},
};
// 12 store
const FuncAssistParam kParams12[] = {
    {"0", "Memory address (0 - 249)"},
    {"0", "Data to store"},
    {"", ""},
};
// 19 homing
const FuncAssistParam kParams19[] = {
    {"1", "Module address (1 - 8)"},
    {"0", "Homing mode (0 - 255)"},
    {"", ""},
};
// 21 stopmot
const FuncAssistParam kParams21[] = {
    {"1", "Module address (1 - 8)"},
    {"5", "Mode (0 - 255)"},
    {"", ""},
};
// 23 svgain
const FuncAssistParam kParams23[] = {
    {"1", "Module address (1 - 8)"},
    {"100", "Position gain (0 to 32767)"},
    {"1000", "Derivative gain (0 to 32767)"},
    {"0", "Integral gain (0 to 32,767)"},
    {"0", "Integration limit (0 to 32767)"},
    {"255", "Output limit (0 to 255)"},
    {"0", "Current limit (0 to 255)"},
    {"2000", "Position error limit (0 to 32767)"},
    {"1", "Servo rate divisor (1 to 255)"},
    {"1", "Amplifier deadband compensation (0 to 255)"},
    {"1", "Step rate multiplier (1 to 255)"},
    {"", ""},
};
// 24 svtraj
const FuncAssistParam kParams24[] = {
    {"1", "Module address (1 - 8)"},
    {"151", "Mode (0 - 255)"},
    {"0", "Goal Position in encoder counts (-2147483,648 to +2147483647)"},
    {"100000", "Velocity data (0 to +750,000)"},
    {"1000", "Acceleration data (0 to +2147483647)"},
    {"0", "PWM data (0 to +255)"},
    {"", ""},
};
// 30 homing
const FuncAssistParam kParams30[] = {
    {"1", "Module address (1 - 8)"},
    {"0", "Homing mode (0 - 255)"},
    {"", ""},
};
// 32 stopmot
const FuncAssistParam kParams32[] = {
    {"1", "Module address (1 - 8)"},
    {"5", "Mode (0 - 255)"},
    {"", ""},
};
// 33 stoutput
const FuncAssistParam kParams33[] = {
    {"1", "Module address (1 - 8)"},
    {"14", "Output value (0 - 255)"},
    {"", ""},
};
// 34 stparam
const FuncAssistParam kParams34[] = {
    {"1", "Module address (1 - 8)"},
    {"15", "Mode"},
    {"10", "Minimum stepping speed (1-250)"},
    {"20", "Running current limit (0-255)"},
    {"10", "Holding current limit (0-255)"},
    {"0", "Thermal limit (0-255)"},
    {"", ""},
};
// 35 sttraj
const FuncAssistParam kParams35[] = {
    {"1", "Module address (1 - 8)"},
    {"135", "Mode (0 - 255)"},
    {"0", "Position data (-2,147,483,648 to +2,147,483,647)"},
    {"10", "Velocity data (1 to 250)"},
    {"20", "Acceleration data (1 to 255; larger values = slower acceleration)"},
    {"", ""},
};
// 37 getioad
const FuncAssistParam kParams37[] = {
    {"1", "Module address (1 - 8)"},
    {"1", "Analog input number (1-3)"},
    {"", ""},
};
// 40 iodir
const FuncAssistParam kParams40[] = {
    {"1", "Module address (1 - 8)"},
    {"1", "I/O bit number (1-12)"},
    {"1", "I/O direction (0=output, 1=input)"},
    {"", ""},
};
// 41 iooutput
const FuncAssistParam kParams41[] = {
    {"1", "Module address (1 - 8)"},
    {"1", "I/O bit number (1-12)"},
    {"0", "Output value (0-1)"},
    {"", ""},
};
// 42 iopwm
const FuncAssistParam kParams42[] = {
    {"1", "Module address (1 - 8)"},
    {"0", "Output value on PWM1 (0-255; 0=0% and 255=100% duty cycle)"},
    {"0", "Output value on PWM2 (0-255; 0=0% and 255=100% duty cycle)"},
    {"", ""},
};
// 43 iotimer
const FuncAssistParam kParams43[] = {
    {"1", "Module address (1 - 8)"},
    {"3", "Mode (0 - 255)"},
    {"", ""},
};
const char* const kBits19[] = {
    "Home on LIMIT 1",
    "Home on LIMIT 2",
    "Turn off motor on home",
    "Home on ENC_INDEX",
    "Stop abrupt on home",
    "Stop smooth on home",
    "Home on position error",
    "Home on current limit",
    nullptr,
};
const char* const kBits21[] = {
    "Enable amplifier",
    "Turn motor off",
    "Stop motor abruptly",
    "Stop motor smoothly",
    "Stop at specified position",
    "Unused",
    "Unused",
    "Unused",
    nullptr,
};
const char* const kBits24[] = {
    "Load position data (check for Position Mode)",
    "Load velocity data (check for Position or Velocity Mode)",
    "Load acceleration data (check for Position or Velocity Mode)",
    "Load PWM data (check for PWM Mode)",
    "Enable Servo (check for Vel. or Pos. modes, uncheck for PWM mode)",
    "Velocity mode (uncheck for trapezoidal Position mode)",
    "Velocity/PWM Mode Reverse (uncheck for fwd or for Position mode)",
    "Start motion now (must be checked)",
    nullptr,
};
const char* const kBits30[] = {
    "Home of Limit 1",
    "Home on Limit 2",
    "Turn off motor on home",
    "Home on HOME SWITCH",
    "Stop abrupt on home",
    "Stop smooth on home",
    "Unused",
    "Unused",
    nullptr,
};
const char* const kBits32[] = {
    "Enable amplifier",
    "Unused",
    "Stop motor abruptly",
    "Stop motor smoothly",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    nullptr,
};
const char* const kBits33[] = {
    "Output 1",
    "Output 2 (Half-step mode; uncheck for full-step)",
    "Output 3 (Slow Decay - normally checked)",
    "Output 4 (Set Home - normally checked)",
    "Output 5 (Aux Out)",
    "Unused",
    "Unused",
    "Unused",
    nullptr,
};
const char* const kBits34[] = {
    "Speed mode: Check for 1x or 4x (uncheck for 2x or 8x)",
    "Speed mode: Check for 1x or 2x (uncheck for 4x or 8x)",
    "Disable limit autostop",
    "Disable emergency autostop",
    "Motor off on autostop",
    "Unused",
    "Unused",
    "Unused",
    nullptr,
};
const char* const kBits35[] = {
    "Load position data (uncheck for Velocity mode)",
    "Load velocity data",
    "Load acceleration data",
    "Initial timer count",
    "Velocity Reverse (uncheck for forward)",
    "Unused",
    "Unused",
    "Start motion now (must be checked)",
    nullptr,
};
const char* const kBits43[] = {
    "Counter/Timer Enable",
    "Mode: Check for Counter (uncheck for Timer)",
    "Unused",
    "Unused",
    "Prescaler: Check for 2:1 or 8:1 (uncheck for 1:1 or 4:1)",
    "Prescaler: Check for 4:1 or 8:1 (uncheck for 1:1 or 2:1)",
    "Unused",
    "Unused",
    nullptr,
};

}  // namespace

const FuncAssistEntry FuncAssistCatalogue[FuncAssistEntryCount + 1] = {
    {"getchar", 0x81, nullptr, kNoParams,  // 0
     "Returns serial port input character",
     "ASCII value of character received, or -1 if none"},
    {"geterr", 0x81, nullptr, kParams1,  // 1
     "Returns number of communications errors",
     "Number of communications errors"},
    {"getnminit", 0x81, nullptr, kNoParams,  // 2
     "Initializes VQL network and returns number of modules found",
     "Number of modules found"},
    {"getstat", 0x81, nullptr, kModuleAddress,  // 3
     "Returns module status byte",
     "Orlen, Daska, or Membo status byte"},
    {"gettype", 0x81, nullptr, kModuleAddress,  // 4
     "Returns module type",
     "0=Orlen, 2=Membo, 3=Daska"},
    {"getver", 0x81, nullptr, kModuleAddress,  // 5
     "Returns module version",
     "Orlen, Daska, or Membo module version"},
    {"peek", 0x81, nullptr, kParams6,  // 6
     "Returns contents of processer RAM",
     "Contents of specified RAM address"},
    {"retrieve", 0x81, nullptr, kParams7,  // 7
     "Returns contents of Travin EEPROM",
     "32 bit integer value stored at the specified EEPROM address"},
    {"testbit", 0x81, nullptr, kParams8,  // 8
     "Tests if specified data bit is set",
     "Returns 1 if the specified bit is set, otherwise 0"},
    {"nmreset", 0x41, nullptr, kNoParams,  // 9
     "Resets all modules to their power up state",
     ""},
    {"poke", 0x41, nullptr, kParams10,  // 10
     "Writes data to processor RAM",
     ""},
    {"refresh", 0x41, nullptr, kModuleAddress,  // 11
     "Refreshes module status data",
     ""},
    {"store", 0x41, nullptr, kParams12,  // 12
     "Writes data to Travin EEPROM",
     ""},
    {"getad", 0x82, nullptr, kModuleAddress,  // 13
     "Returns A/D input value",
     "A/D input value (0 - 255)"},
    {"gethome", 0x82, nullptr, kModuleAddress,  // 14
     "Returns home position",
     "Home position (-2147483648 to +2147483647)"},
    {"getpos", 0x82, nullptr, kModuleAddress,  // 15
     "Returns current position",
     "Current position (-2147483648 to +2147483647)"},
    {"getsvaux", 0x82, nullptr, kModuleAddress,  // 16
     "Returns auxiliary status byte",
     "Orlen Auxiliary Status Byte (see Orlen data sheet)"},
    {"getsverr", 0x82, nullptr, kModuleAddress,  // 17
     "Returns position error",
     "Position error (-32768 to +32767)"},
    {"getsvvel", 0x82, nullptr, kModuleAddress,  // 18
     "Returns current velocity",
     "Current velocity (-32768 to +32767)"},
    {"homing", 0x42, kBits19, kParams19,  // 19
     "Set homing parameters",
     ""},
    {"resetpos", 0x42, nullptr, kModuleAddress,  // 20
     "Resets the position counter to 0",
     ""},
    {"stopmot", 0x42, kBits21, kParams21,  // 21
     "Stop motor using specifed mode, and enable/disable amplifier",
     ""},
    {"svcbits", 0x42, nullptr, kModuleAddress,  // 22
     "Clears the latched status bits",
     ""},
    {"svgain", 0x42, nullptr, kParams23,  // 23
     "Sets operating parameters",
     ""},
    {"svtraj", 0x42, kBits24, kParams24,  // 24
     "Sets motion data for position, velocity, and PWM moves",
     ""},
    {"waitmove", 0x42, nullptr, kModuleAddress,  // 25
     "Waits until move is complete",
     ""},
    {"getad", 0x84, nullptr, kModuleAddress,  // 26
     "Returns A/D input value",
     "A/D input value (0 - 255)"},
    {"gethome", 0x84, nullptr, kModuleAddress,  // 27
     "Returns home position",
     "Home position (-2147483648 to +2147483647)"},
    {"getpos", 0x84, nullptr, kModuleAddress,  // 28
     "Returns current position",
     "Current position (-2147483648 to +2147483647)"},
    {"getstin", 0x84, nullptr, kModuleAddress,  // 29
     "Returns the value of the input bits",
     "Daska Inputs Byte (see Daska  data sheet)"},
    {"homing", 0x44, kBits30, kParams30,  // 30
     "Sets the homing parameters for capturing the home position",
     ""},
    {"resetpos", 0x44, nullptr, kModuleAddress,  // 31
     "Resets the position counter to 0",
     ""},
    {"stopmot", 0x44, kBits32, kParams32,  // 32
     "Stop motor using specifed mode, and enable/disable amplifier",
     ""},
    {"stoutput", 0x44, kBits33, kParams33,  // 33
     "Sets general purpose output pins for configuring amplifier",
     ""},
    {"stparam", 0x44, kBits34, kParams34,  // 34
     "Sets operating parameters",
     ""},
    {"sttraj", 0x44, kBits35, kParams35,  // 35
     "Sets motion data for position and velocity moves",
     ""},
    {"waitmove", 0x44, nullptr, kModuleAddress,  // 36
     "Waits until move is complete",
     ""},
    {"getioad", 0x88, nullptr, kParams37,  // 37
     "Returns A/D input value",
     "A/D input value (0 - 255)"},
    {"getioin", 0x88, nullptr, kModuleAddress,  // 38
     "Returns the inputs value",
     "Inputs value  (see Membo data sheet)"},
    {"gettmr", 0x88, nullptr, kModuleAddress,  // 39
     "Returns timer/counter value",
     "Timer/counter value  (0 to +2,147,483,647)"},
    {"iodir", 0x48, nullptr, kParams40,  // 40
     "Sets direction of I/O pins",
     ""},
    {"iooutput", 0x48, nullptr, kParams41,  // 41
     "Sets I/O output pin value",
     ""},
    {"iopwm", 0x48, nullptr, kParams42,  // 42
     "Sets the PWM output values",
     ""},
    {"iotimer", 0x48, kBits43, kParams43,  // 43
     "Sets the timer/counter mode of operation",
     ""},
    {"", 0, nullptr, kNoParams, "", ""},
};


const char* GroupCaption(int flags)
{
    // Only the low byte has meaning, and of it only the group bits here.
    switch (flags & 0x0F) {
    case 0x01: return "General Purpose";
    case 0x02: return "Orlen";
    case 0x04: return "Daska";
    case 0x08: return "Membo";
    default: return "Unknown";
    }
}

int ParamCount(const FuncAssistParam* params)
{
    int n = 0;
    while (params != nullptr && n < 11 && params[n].Default != nullptr && params[n].Default[0] != '\0')
        ++n;
    return n;
}

}  // namespace travin
