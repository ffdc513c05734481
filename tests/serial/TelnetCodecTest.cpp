// The Telnet layer of network ports, byte for byte: what the server's bytes
// decode to however the reads cut them, what the client answers to each
// negotiation, and how the board's bytes and COM-PORT commands travel.
#include "link/NetPortName.h"
#include "link/TelnetCodec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace travin::telnet {
namespace {

using Kind = Command::Kind;

Command negotiation(std::uint8_t verb, std::uint8_t option, std::size_t at) {
    return Command{Kind::Negotiation, verb, option, {}, at};
}
Command subnegotiation(std::uint8_t option, Bytes body, std::size_t at) {
    return Command{Kind::Subnegotiation, SB, option, std::move(body), at};
}

struct DecodeRow {
    const char* name;
    Bytes wire;
    Bytes data;
    std::vector<Command> commands;
};

std::ostream& operator<<(std::ostream& os, const DecodeRow& r) { return os << r.name; }

const DecodeRow kDecodeRows[] = {
    {"plain data passes", {0xAA, 0x00, 0x41}, {0xAA, 0x00, 0x41}, {}},
    {"a doubled IAC is one data byte 255", {0x01, IAC, IAC, 0x02}, {0x01, 0xFF, 0x02}, {}},
    {"two doubled IACs in a row", {IAC, IAC, IAC, IAC}, {0xFF, 0xFF}, {}},
    {"ser2net's opening before any data",
     {IAC, WILL, kSuppressGoAhead, IAC, DO, kSuppressGoAhead, IAC, WILL, kEcho, IAC, DONT, kEcho, IAC, DO, kBinary,
      IAC, WILL, kBinary, IAC, DO, kComPort, 0xAA},
     {0xAA},
     {negotiation(WILL, kSuppressGoAhead, 0), negotiation(DO, kSuppressGoAhead, 0), negotiation(WILL, kEcho, 0),
      negotiation(DONT, kEcho, 0), negotiation(DO, kBinary, 0), negotiation(WILL, kBinary, 0),
      negotiation(DO, kComPort, 0)}},
    {"a NOTIFY-MODEMSTATE between two data bytes is no data",
     {0x10, IAC, SB, kComPort, 107, 0x30, IAC, SE, 0x11},
     {0x10, 0x11},
     {subnegotiation(kComPort, {107, 0x30}, 1)}},
    {"a 255 inside a subnegotiation is doubled and comes out single",
     {IAC, SB, kComPort, 101, 0x00, 0x01, IAC, IAC, 0x00, IAC, SE},
     {},
     {subnegotiation(kComPort, {101, 0x00, 0x01, 0xFF, 0x00}, 0)}},
    {"a subnegotiation without SE ends at the next command, which still counts",
     {IAC, SB, kComPort, 106, 0x00, IAC, WILL, kBinary, 0x42},
     {0x42},
     {subnegotiation(kComPort, {106, 0x00}, 0), negotiation(WILL, kBinary, 0)}},
    {"other commands (NOP, GA) are taken out", {0x01, IAC, 241, 0x02, IAC, 249}, {0x01, 0x02},
     {Command{Kind::Other, 241, 0, {}, 1}, Command{Kind::Other, 249, 0, {}, 2}}},
};

class Decode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Decode, AllAtOnce) {
    TelnetDecoder decoder;
    Bytes data;
    std::vector<Command> commands;
    decoder.feed(GetParam().wire.data(), GetParam().wire.size(), data, commands);
    EXPECT_EQ(data, GetParam().data);
    EXPECT_EQ(commands, GetParam().commands);
}

// Every split of the bytes into two reads, and one byte a read, decodes the
// same: a command may be cut anywhere. The command's place among the data
// counts the data of both reads.
TEST_P(Decode, CutAtEveryByte) {
    const Bytes& wire = GetParam().wire;
    for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
        TelnetDecoder decoder;
        Bytes data;
        std::vector<Command> commands;
        decoder.feed(wire.data(), cut, data, commands);
        decoder.feed(wire.data() + cut, wire.size() - cut, data, commands);
        EXPECT_EQ(data, GetParam().data) << "cut at " << cut;
        EXPECT_EQ(commands, GetParam().commands) << "cut at " << cut;
    }
    TelnetDecoder decoder;
    Bytes data;
    std::vector<Command> commands;
    for (const std::uint8_t b : wire) decoder.feed(&b, 1, data, commands);
    EXPECT_EQ(data, GetParam().data) << "byte by byte";
    EXPECT_EQ(commands, GetParam().commands) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(Server, Decode, ::testing::ValuesIn(kDecodeRows));

TEST(Decode, AnOverlongSubnegotiationIsCutAndTheDataAfterItKept) {
    Bytes wire{IAC, SB, kComPort, 100};
    wire.insert(wire.end(), 2000, 'x');
    wire.insert(wire.end(), {IAC, SE, 0x55});
    TelnetDecoder decoder;
    Bytes data;
    std::vector<Command> commands;
    decoder.feed(wire.data(), wire.size(), data, commands);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].body.size(), TelnetDecoder::kMaxBody);
    EXPECT_EQ(data, Bytes{0x55});
}

TEST(Encode, EveryDataByte255IsDoubledAndNothingElse) {
    const Bytes board{0x00, 0xFF, 0xAA, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(escapeData(board.data(), board.size()), (Bytes{0x00, 0xFF, 0xFF, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    // What the server decodes is what the board gets.
    const Bytes wire = escapeData(board.data(), board.size());
    TelnetDecoder decoder;
    Bytes data;
    std::vector<Command> commands;
    decoder.feed(wire.data(), wire.size(), data, commands);
    EXPECT_EQ(data, board);
    EXPECT_TRUE(commands.empty());
}

TEST(Encode, ComPortCommands) {
    EXPECT_EQ(setBaudRate(115200), (Bytes{IAC, SB, kComPort, 1, 0x00, 0x01, 0xC2, 0x00, IAC, SE}));
    EXPECT_EQ(comPortCommand(comport::SetDataSize, 8), (Bytes{IAC, SB, kComPort, 2, 8, IAC, SE}));
    EXPECT_EQ(comPortCommand(comport::PurgeData, comport::kPurgeReceive), (Bytes{IAC, SB, kComPort, 12, 1, IAC, SE}));
    // A rate with a byte 255 in it keeps the frame.
    EXPECT_EQ(setBaudRate(0x0000FF00), (Bytes{IAC, SB, kComPort, 1, 0x00, 0x00, 0xFF, 0xFF, 0x00, IAC, SE}));
}

TEST(Encode, TheServersRateConfirmationIsRead) {
    std::uint32_t baud = 0;
    EXPECT_TRUE(baudRateReply(subnegotiation(kComPort, {101, 0x00, 0x01, 0xC2, 0x00}, 0), baud));
    EXPECT_EQ(baud, 115200u);
    EXPECT_FALSE(baudRateReply(subnegotiation(kComPort, {102, 8}, 0), baud)) << "the data size's answer";
    EXPECT_FALSE(baudRateReply(subnegotiation(kComPort, {101, 0x00, 0x4B}, 0), baud)) << "too short";
    EXPECT_FALSE(baudRateReply(subnegotiation(kEcho, {101, 0, 0, 0x4B, 0}, 0), baud)) << "another option";
}

// --- Negotiation -------------------------------------------------------------

struct NegotiationRow {
    const char* name;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> received;  // after our opening
    Bytes answers;                                                // all answers, in order
    bool agreed;
    bool refused;
};

std::ostream& operator<<(std::ostream& os, const NegotiationRow& r) { return os << r.name; }

const NegotiationRow kNegotiationRows[] = {
    {"ser2net: confirms what we asked, ECHO refused once",
     {{WILL, kSuppressGoAhead}, {DO, kSuppressGoAhead}, {WILL, kEcho}, {DONT, kEcho}, {DO, kBinary},
      {WILL, kBinary}, {DO, kComPort}},
     {IAC, DONT, kEcho},
     true,
     false},
    {"a server that offers COM-PORT itself is accepted",
     {{WILL, kComPort}, {DO, kBinary}},
     {IAC, DO, kComPort},
     true,
     false},
    {"a server that refuses COM-PORT", {{DONT, kComPort}, {DO, kBinary}, {WILL, kBinary}}, {}, false, true},
    {"a repeated agreement gets no answer, a repeated offer the same refusal",
     {{DO, kComPort}, {DO, kComPort}, {WILL, kEcho}, {WILL, kEcho}},
     {IAC, DONT, kEcho, IAC, DONT, kEcho},
     true,
     false},
    {"options we do not know are refused in their direction",
     {{DO, 24}, {WILL, 31}, {DO, kEcho}},
     {IAC, WONT, 24, IAC, DONT, 31, IAC, WONT, kEcho},
     false,
     false},
    {"a withdrawal of an agreed option is confirmed once",
     {{DO, kComPort}, {DONT, kComPort}, {DONT, kComPort}},
     {IAC, WONT, kComPort},
     false,
     true},
    {"refusals of what was never on need no answer", {{WONT, kEcho}, {DONT, 24}}, {}, false, false},
};

class Negotiate : public ::testing::TestWithParam<NegotiationRow> {};

TEST_P(Negotiate, AnswersEachRequestOnceAndNeverAnAnswer) {
    TelnetOptions options;
    EXPECT_EQ(options.opening(), (Bytes{IAC, WILL, kBinary, IAC, WILL, kSuppressGoAhead, IAC, WILL, kComPort, IAC, DO,
                                        kBinary, IAC, DO, kSuppressGoAhead}));
    EXPECT_TRUE(options.comPortPending());
    Bytes answers;
    for (const auto& [verb, option] : GetParam().received) {
        const Bytes a = options.answer(verb, option);
        answers.insert(answers.end(), a.begin(), a.end());
    }
    EXPECT_EQ(answers, GetParam().answers);
    EXPECT_EQ(options.comPortAgreed(), GetParam().agreed);
    EXPECT_EQ(options.comPortRefused(), GetParam().refused);
    // Nothing asked again: a second opening sends nothing for what is
    // settled.
    EXPECT_EQ(options.ours(kEcho), TelnetOptions::State::No) << "we never echo";
}

INSTANTIATE_TEST_SUITE_P(Server, Negotiate, ::testing::ValuesIn(kNegotiationRows));

// Two of our own clients talking to each other settle without a loop: every
// answer fed back produces nothing more within a few rounds.
TEST(Negotiate, TwoClientsSettle) {
    TelnetOptions a, b;
    Bytes toB = a.opening(), toA = b.opening();
    for (int round = 0; round < 4 && (!toA.empty() || !toB.empty()); ++round) {
        Bytes nextToA, nextToB;
        TelnetDecoder da, db;
        Bytes ignored;
        std::vector<Command> commands;
        db.feed(toB.data(), toB.size(), ignored, commands);
        for (const Command& c : commands) {
            const Bytes r = b.answer(c.verb, c.option);
            nextToA.insert(nextToA.end(), r.begin(), r.end());
        }
        commands.clear();
        da.feed(toA.data(), toA.size(), ignored, commands);
        for (const Command& c : commands) {
            const Bytes r = a.answer(c.verb, c.option);
            nextToB.insert(nextToB.end(), r.begin(), r.end());
        }
        toA = nextToA;
        toB = nextToB;
    }
    EXPECT_TRUE(toA.empty() && toB.empty()) << "still negotiating after four rounds";
    EXPECT_TRUE(a.comPortAgreed());
    EXPECT_EQ(a.theirs(kBinary), TelnetOptions::State::Yes);
}

}  // namespace
}  // namespace travin::telnet

namespace travin {
namespace {

struct NameRow {
    const char* name;
    bool valid;
    NetPortName parts;
};

std::ostream& operator<<(std::ostream& os, const NameRow& r) { return os << r.name; }

class PortName : public ::testing::TestWithParam<NameRow> {};

TEST_P(PortName, ReadsHostAndPort) {
    const auto parsed = parseNetPortName(GetParam().name);
    ASSERT_EQ(parsed.has_value(), GetParam().valid);
    if (!parsed) return;
    EXPECT_EQ(*parsed, GetParam().parts);
    EXPECT_EQ(parseNetPortName(parsed->url()), parsed) << "its own address reads back";
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortName,
    ::testing::Values(NameRow{"rfc2217://127.0.0.1:3001", true, {true, "127.0.0.1", "3001"}},
                      NameRow{"rfc2217://lab-pi:3001/", true, {true, "lab-pi", "3001"}},
                      NameRow{"socket://bench.local:4000", true, {false, "bench.local", "4000"}},
                      NameRow{"rfc2217://[::1]:3001", true, {true, "::1", "3001"}},
                      NameRow{"rfc2217://::1:3001", false, {}}, NameRow{"rfc2217://host", false, {}},
                      NameRow{"rfc2217://:3001", false, {}}, NameRow{"rfc2217://host:0", false, {}},
                      NameRow{"rfc2217://host:65536", false, {}}, NameRow{"rfc2217://host:30x1", false, {}},
                      NameRow{"rfc2217://ho st:3001", false, {}}, NameRow{"telnet://host:23", false, {}},
                      NameRow{"/dev/ttyUSB0", false, {}}, NameRow{"COM1", false, {}}));

TEST(PortName, MalformedNetworkNamesAreStillNotDevicePaths) {
    EXPECT_TRUE(looksLikeNetPortName("rfc2217://host"));
    EXPECT_TRUE(looksLikeNetPortName("socket://"));
    EXPECT_FALSE(looksLikeNetPortName("/dev/ttyS0"));
}

}  // namespace
}  // namespace travin
