// The Telnet layer of a network serial port (RFC 854 framing, option
// negotiation, and the COM-PORT option of RFC 2217), with no I/O: bytes in,
// data and answers out, so every case can be tried from a table.
//
//   TelnetDecoder     splits what the server sends into the board's data
//                     bytes and Telnet commands; a command or subnegotiation
//                     may be split across reads at any byte
//   TelnetOptions     the client's side of option negotiation: what we ask
//                     for at connect, and the one answer each request of the
//                     server gets (never an answer to an answer)
//   escapeData        the board's bytes as they travel (255 doubled)
//   comPortCommand    IAC SB COM-PORT <command> <value, escaped> IAC SE
//
// Standard C++ only; shared by the POSIX and Windows builds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace travin::telnet {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t IAC = 255;
inline constexpr std::uint8_t DONT = 254;
inline constexpr std::uint8_t DO = 253;
inline constexpr std::uint8_t WONT = 252;
inline constexpr std::uint8_t WILL = 251;
inline constexpr std::uint8_t SB = 250;
inline constexpr std::uint8_t SE = 240;

inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kEcho = 1;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44;

// COM-PORT commands, client to server; the server answers with the number
// plus kServerReply.
namespace comport {
inline constexpr std::uint8_t Signature = 0;
inline constexpr std::uint8_t SetBaudRate = 1;
inline constexpr std::uint8_t SetDataSize = 2;
inline constexpr std::uint8_t SetParity = 3;
inline constexpr std::uint8_t SetStopSize = 4;
inline constexpr std::uint8_t SetControl = 5;
inline constexpr std::uint8_t NotifyLineState = 6;
inline constexpr std::uint8_t NotifyModemState = 7;
inline constexpr std::uint8_t PurgeData = 12;
inline constexpr std::uint8_t kServerReply = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kOneStopBit = 1;
inline constexpr std::uint8_t kNoFlowControl = 1;
inline constexpr std::uint8_t kDtrOn = 8;
inline constexpr std::uint8_t kDtrOff = 9;
inline constexpr std::uint8_t kRtsOn = 11;
inline constexpr std::uint8_t kRtsOff = 12;
// PURGE-DATA: the server's receive buffer (bytes from the board on their
// way to us), its transmit buffer, or both.
inline constexpr std::uint8_t kPurgeReceive = 1;
inline constexpr std::uint8_t kPurgeTransmit = 2;
inline constexpr std::uint8_t kPurgeBoth = 3;
}  // namespace comport

// One Telnet command the server sent.
struct Command {
    enum class Kind { Negotiation, Subnegotiation, Other };
    Kind kind = Kind::Other;
    std::uint8_t verb = 0;    // WILL/WONT/DO/DONT, or the command byte of Other
    std::uint8_t option = 0;  // the option negotiated or subnegotiated
    Bytes body;               // a subnegotiation's bytes after the option, unescaped
    // Where it came among the data: the size of the data buffer handed to
    // feed() when the command ended (an answer may cut the data there).
    std::size_t at = 0;

    friend bool operator==(const Command&, const Command&) = default;
};

class TelnetDecoder {
public:
    // Appends the data bytes of `bytes` to `data` and the commands to
    // `commands`, keeping any unfinished command for the next call.
    void feed(const std::uint8_t* bytes, std::size_t count, Bytes& data, std::vector<Command>& commands);

    // Subnegotiations longer than this are cut (their rest is dropped): no
    // server message we read needs more.
    static constexpr std::size_t kMaxBody = 512;

private:
    enum class State { Data, Iac, Verb, Sub, SubOption, SubIac };
    State state = State::Data;
    std::uint8_t verb = 0;
    Command sub;
};

// The board's bytes as they travel: every 255 doubled.
Bytes escapeData(const std::uint8_t* bytes, std::size_t count);

// IAC SB COM-PORT command value IAC SE, with 255 in the value doubled.
Bytes comPortCommand(std::uint8_t command, const Bytes& value);
Bytes comPortCommand(std::uint8_t command, std::uint8_t value);
// SET-BAUDRATE: four bytes, most significant first.
Bytes setBaudRate(std::uint32_t baud);
// The rate of a SET-BAUDRATE answer body (reply code, four bytes); false
// when it is not one.
bool baudRateReply(const Command& command, std::uint32_t& baud);

// Option negotiation from the client's side (the "Q method" of RFC 1143
// without its queue): each side of each option is off, on, or asked for.
// We offer and accept BINARY both ways, SGA both ways and COM-PORT; every
// other option is refused, ECHO of the server included, so no one adds an
// echo to the board's bytes.
class TelnetOptions {
public:
    enum class State : std::uint8_t { No, Yes, WantYes, WantNo };

    // What the client asks for at connect, and marks as asked.
    Bytes opening();
    // The answer to one negotiation from the server (empty when none is
    // due: it confirms what we asked, or repeats what holds).
    Bytes answer(std::uint8_t verb, std::uint8_t option);

    // COM-PORT agreed in either direction.
    bool comPortAgreed() const;
    // The server refused COM-PORT both ways (or we never asked and it never
    // offered, which does not happen after opening()).
    bool comPortRefused() const;
    // Still waiting for the server's word on COM-PORT.
    bool comPortPending() const;

    State ours(std::uint8_t option) const { return us[option]; }
    State theirs(std::uint8_t option) const { return him[option]; }

private:
    static bool weWill(std::uint8_t option);
    static bool weAccept(std::uint8_t option);

    std::array<State, 256> us{};   // options we perform (WILL/WONT from us)
    std::array<State, 256> him{};  // options the server performs
};

}  // namespace travin::telnet
