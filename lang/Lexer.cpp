#include "lang/Lexer.h"

#include <cctype>

namespace travin::lang {

namespace {

bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_'; }
bool isNameChar(unsigned char c) { return std::isalnum(c) || c == '_'; }

class LineLexer {
public:
    explicit LineLexer(std::string_view s) : s_(s) {}

    LexedLine run() {
        while (i_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c == ' ' || c == '\t') { ++i_; continue; }
            const std::size_t start = i_;
            if (c == '\'') {
                push(Token::Kind::Comment, start, s_.size());
                break;
            }
            if (std::isdigit(c)) number(start);
            else if (isNameStart(c)) name(start);
            else if (c == '"') text(start);
            else symbol(start);
        }
        Token end;
        end.column = s_.size();
        out_.tokens.push_back(std::move(end));
        return std::move(out_);
    }

private:
    Token& push(Token::Kind kind, std::size_t start, std::size_t end) {
        Token t;
        t.kind = kind;
        t.column = start;
        t.length = end - start;
        i_ = end;
        out_.tokens.push_back(std::move(t));
        return out_.tokens.back();
    }

    void bad(std::size_t start, std::size_t end, std::size_t at, std::string message) {
        if (!out_.problem) out_.problem = LexProblem{at, std::move(message)};
        push(Token::Kind::Bad, start, end);
    }

    std::string_view upTo(std::size_t start, std::size_t endInclusive) const {
        return s_.substr(start, endInclusive + 1 - start);
    }

    // The digits after a bad one still belong to the number, so that the
    // colours do not restart in its middle.
    std::size_t restOfWord(std::size_t from) const {
        while (from < s_.size() && isNameChar(static_cast<unsigned char>(s_[from]))) ++from;
        return from;
    }

    void number(std::size_t start) {
        std::size_t i = start;
        std::int64_t value = 0;
        const auto tooLarge = [&](std::size_t at) {
            bad(start, restOfWord(at), start, "number too large: " + std::string(upTo(start, at)));
        };
        if (s_[i] == '0' && i + 1 < s_.size() && (s_[i + 1] == 'x' || s_[i + 1] == 'X')) {
            i += 2;
            const std::size_t digits = i;
            while (i < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i]))) {
                const auto d = static_cast<unsigned char>(s_[i]);
                value = value * 16 + (std::isdigit(d) ? d - '0' : std::tolower(d) - 'a' + 10);
                if (value > 0xFFFFFFFFLL) return tooLarge(i);
                ++i;
            }
            if (i == digits) return bad(start, restOfWord(i), start, "hexadecimal number without digits");
            // 0x80000000 and up are the negative half of the 32 bits.
            if (value > 0x7FFFFFFFLL) value -= 0x100000000LL;
        } else {
            while (i < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i]))) {
                value = value * 10 + (s_[i] - '0');
                // 2147483648 is allowed so that -2147483648 can be written.
                if (value > 2147483648LL) return tooLarge(i);
                ++i;
            }
        }
        if (i < s_.size() && isNameChar(static_cast<unsigned char>(s_[i])))
            return bad(start, restOfWord(i), start, "bad number '" + std::string(upTo(start, i)) + "'");
        push(Token::Kind::Number, start, i).number = value;
    }

    void name(std::size_t start) {
        std::size_t i = start;
        std::string lower;
        while (i < s_.size() && isNameChar(static_cast<unsigned char>(s_[i]))) {
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i])));
            ++i;
        }
        push(Token::Kind::Name, start, i).text = std::move(lower);
    }

    void text(std::size_t start) {
        std::size_t i = start + 1;
        std::string bytes;
        while (i < s_.size()) {
            if (s_[i] == '"') {
                // Two quotes inside a text stand for one.
                if (i + 1 < s_.size() && s_[i + 1] == '"') {
                    bytes += '"';
                    i += 2;
                    continue;
                }
                push(Token::Kind::Text, start, i + 1).text = std::move(bytes);
                return;
            }
            bytes += s_[i++];
        }
        bad(start, s_.size(), start, "text without closing \"");
    }

    void symbol(std::size_t start) {
        const std::string_view two = s_.substr(start, 2);
        if (two == "<=" || two == ">=" || two == "<>") {
            push(Token::Kind::Symbol, start, start + 2).text = std::string(two);
            return;
        }
        const char c = s_[start];
        if (std::string_view("+-*/=<>(),;:").find(c) != std::string_view::npos) {
            push(Token::Kind::Symbol, start, start + 1).text = std::string(1, c);
            return;
        }
        bad(start, start + 1, start, "unexpected character '" + std::string(1, c) + "'");
    }

    std::string_view s_;
    std::size_t i_ = 0;
    LexedLine out_;
};

}  // namespace

LexedLine lexLine(std::string_view line) { return LineLexer(line).run(); }

}  // namespace travin::lang
