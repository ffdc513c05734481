#include "link/TelnetCodec.h"

namespace travin::telnet {

namespace {

// IAC, a verb and its option, appended (one byte at a time: GCC 12 warns
// wrongly about inserting a braced list at the end of a vector).
void command(Bytes& out, std::uint8_t verb, std::uint8_t option) {
    out.push_back(IAC);
    out.push_back(verb);
    out.push_back(option);
}

}  // namespace

void TelnetDecoder::feed(const std::uint8_t* bytes, std::size_t count, Bytes& data, std::vector<Command>& commands) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state) {
        case State::Data:
            if (b == IAC) {
                state = State::Iac;
            } else {
                data.push_back(b);
            }
            break;
        case State::SubIac:
            if (b == IAC) {
                if (sub.body.size() < kMaxBody) sub.body.push_back(IAC);
                state = State::Sub;
                break;
            }
            // Any other command ends the subnegotiation; a missing SE is the
            // server's slip, and the command after it still counts.
            sub.at = data.size();
            commands.push_back(sub);
            if (b == SE) {
                state = State::Data;
                break;
            }
            [[fallthrough]];
        case State::Iac:
            if (b == IAC) {
                data.push_back(IAC);
                state = State::Data;
            } else if (b >= WILL && b <= DONT) {
                verb = b;
                state = State::Verb;
            } else if (b == SB) {
                state = State::SubOption;
            } else {
                commands.push_back(Command{Command::Kind::Other, b, 0, {}, data.size()});
                state = State::Data;
            }
            break;
        case State::Verb:
            commands.push_back(Command{Command::Kind::Negotiation, verb, b, {}, data.size()});
            state = State::Data;
            break;
        case State::SubOption:
            sub = Command{Command::Kind::Subnegotiation, SB, b, {}};
            state = State::Sub;
            break;
        case State::Sub:
            if (b == IAC) {
                state = State::SubIac;
            } else if (sub.body.size() < kMaxBody) {
                sub.body.push_back(b);
            }
            break;
        }
    }
}

Bytes escapeData(const std::uint8_t* bytes, std::size_t count) {
    Bytes out;
    out.reserve(count + count / 16 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == IAC) out.push_back(IAC);
    }
    return out;
}

Bytes comPortCommand(std::uint8_t command, const Bytes& value) {
    Bytes out{IAC, SB, kComPort, command};
    const Bytes escaped = escapeData(value.data(), value.size());
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(IAC);
    out.push_back(SE);
    return out;
}

Bytes comPortCommand(std::uint8_t command, std::uint8_t value) { return comPortCommand(command, Bytes{value}); }

Bytes setBaudRate(std::uint32_t baud) {
    return comPortCommand(comport::SetBaudRate,
                          Bytes{static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
}

bool baudRateReply(const Command& command, std::uint32_t& baud) {
    if (command.kind != Command::Kind::Subnegotiation || command.option != kComPort) return false;
    if (command.body.size() != 5 || command.body[0] != comport::kServerReply + comport::SetBaudRate) return false;
    baud = static_cast<std::uint32_t>(command.body[1]) << 24 | static_cast<std::uint32_t>(command.body[2]) << 16 |
           static_cast<std::uint32_t>(command.body[3]) << 8 | command.body[4];
    return true;
}

bool TelnetOptions::weWill(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool TelnetOptions::weAccept(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

Bytes TelnetOptions::opening() {
    Bytes out;
    for (const std::uint8_t option : {kBinary, kSuppressGoAhead, kComPort}) {
        if (us[option] == State::No) {
            us[option] = State::WantYes;
            command(out, WILL, option);
        }
    }
    for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        if (him[option] == State::No) {
            him[option] = State::WantYes;
            command(out, DO, option);
        }
    }
    return out;
}

Bytes TelnetOptions::answer(std::uint8_t verb, std::uint8_t option) {
    const bool enable = verb == WILL || verb == DO;
    const bool serverSide = verb == WILL || verb == WONT;
    State& state = serverSide ? him[option] : us[option];
    const bool wanted = serverSide ? weAccept(option) : weWill(option);
    // The answer that turns the option on or keeps it off, from our side.
    const std::uint8_t yes = serverSide ? DO : WILL;
    const std::uint8_t no = serverSide ? DONT : WONT;

    if (enable) {
        switch (state) {
        case State::No:
            if (wanted) {
                state = State::Yes;
                return {IAC, yes, option};
            }
            return {IAC, no, option};
        case State::WantYes:
            state = State::Yes;  // the answer to our request
            return {};
        case State::WantNo:
            // It agrees to what we withdrew; the withdrawal already went.
            state = State::No;
            return {};
        case State::Yes:
            return {};
        }
    } else {
        switch (state) {
        case State::Yes:
            state = State::No;
            return {IAC, no, option};
        case State::WantYes:  // refused
        case State::WantNo:   // confirmed
            state = State::No;
            return {};
        case State::No:
            return {};
        }
    }
    return {};
}

bool TelnetOptions::comPortAgreed() const { return us[kComPort] == State::Yes || him[kComPort] == State::Yes; }

bool TelnetOptions::comPortRefused() const { return us[kComPort] == State::No && him[kComPort] == State::No; }

bool TelnetOptions::comPortPending() const { return !comPortAgreed() && !comPortRefused(); }

}  // namespace travin::telnet
