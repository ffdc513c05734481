#include "lang/Builtins.h"

#include <algorithm>

namespace travin::lang {

namespace {

constexpr std::int32_t kAnyMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kAnyMax = std::numeric_limits<std::int32_t>::max();

constexpr BuiltinParam kAddress{"module address", 1, 8};
constexpr BuiltinParam kMode{"mode", 0, 255};

}  // namespace

const std::vector<Builtin>& builtins() {
    using T = BuiltinTarget;
    static const std::vector<Builtin> table = {
        // General purpose.
        {"getchar", true, T::None, {}},
        {"geterr", true, T::None, {{"reset flag", 0, 1}}},
        {"getnminit", true, T::None, {}},
        {"getstat", true, T::AnyModule, {kAddress}},
        {"gettype", true, T::AnyModule, {kAddress}},
        {"getver", true, T::AnyModule, {kAddress}},
        {"peek", true, T::None, {{"address", 0, 4095}}},
        {"retrieve", true, T::None, {{"EEPROM address", 0, 249}}},
        {"testbit", true, T::None, {{"data", kAnyMin, kAnyMax}, {"bit", 1, 32}}},
        {"nmreset", false, T::None, {}},
        {"poke", false, T::None, {{"address", 0, 4095}, {"data", 0, 255}}},
        {"refresh", false, T::AnyModule, {kAddress}},
        {"store", false, T::None, {{"EEPROM address", 0, 249}, {"data", kAnyMin, kAnyMax}}},
        // Servo and stepper.
        {"getad", true, T::Motor, {kAddress}},
        {"gethome", true, T::Motor, {kAddress}},
        {"getpos", true, T::Motor, {kAddress}},
        {"homing", false, T::Motor, {kAddress, kMode}},
        {"resetpos", false, T::Motor, {kAddress}},
        {"stopmot", false, T::Motor, {kAddress, kMode}},
        {"waitmove", false, T::Motor, {kAddress}},
        // Servo.
        {"getsvaux", true, T::Orlen, {kAddress}},
        {"getsverr", true, T::Orlen, {kAddress}},
        {"getsvvel", true, T::Orlen, {kAddress}},
        {"svcbits", false, T::Orlen, {kAddress}},
        {"svgain", false, T::Orlen,
         {kAddress, {"position gain", 0, 32767}, {"derivative gain", 0, 32767}, {"integral gain", 0, 32767},
          {"integration limit", 0, 32767}, {"output limit", 0, 255}, {"current limit", 0, 255},
          {"position error limit", 0, 32767}, {"servo rate divisor", 1, 255}, {"deadband compensation", 0, 255},
          {"step rate multiplier", 1, 255}}},
        {"svtraj", false, T::Orlen,
         {kAddress, kMode, {"goal position", kAnyMin, kAnyMax}, {"velocity", 0, 750000},
          {"acceleration", 0, kAnyMax}, {"PWM", 0, 255}}},
        // Stepper.
        {"getstin", true, T::Daska, {kAddress}},
        {"stoutput", false, T::Daska, {kAddress, kMode}},
        {"stparam", false, T::Daska,
         {kAddress, kMode, {"minimum speed", 1, 250}, {"running current", 0, 255}, {"holding current", 0, 255},
          {"thermal limit", 0, 255}}},
        {"sttraj", false, T::Daska,
         {kAddress, kMode, {"position", kAnyMin, kAnyMax}, {"velocity", 1, 250}, {"acceleration", 1, 255}}},
        // I/O.
        {"getioad", true, T::Membo, {kAddress, {"analog input", 1, 3}}},
        {"getioin", true, T::Membo, {kAddress}},
        {"gettmr", true, T::Membo, {kAddress}},
        {"iodir", false, T::Membo, {kAddress, {"I/O bit", 1, 12}, {"direction", 0, 1}}},
        {"iooutput", false, T::Membo, {kAddress, {"I/O bit", 1, 12}, {"output value", 0, 1}}},
        {"iopwm", false, T::Membo, {kAddress, {"PWM1", 0, 255}, {"PWM2", 0, 255}}},
        {"iotimer", false, T::Membo, {kAddress, kMode}},
    };
    return table;
}

const Builtin* findBuiltin(std::string_view lowerName) {
    for (const Builtin& b : builtins())
        if (lowerName == b.name) return &b;
    return nullptr;
}

const std::vector<std::string_view>& keywords() {
    static const std::vector<std::string_view> words = {
        "print", "input", "if",   "then",  "else", "endif",  "while", "wend", "for", "to",  "step",
        "next",  "goto",  "gosub", "return", "delay", "end", "and",   "or",   "not", "mod"};
    return words;
}

bool isKeyword(std::string_view lowerName) {
    const auto& words = keywords();
    return std::find(words.begin(), words.end(), lowerName) != words.end();
}

}  // namespace travin::lang
