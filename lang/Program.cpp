#include "lang/Program.h"

#include "lang/Lexer.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace travin::lang {

namespace {

// A problem found while reading one line; column is 0-based.
struct SyntaxError {
    std::string message;
    std::size_t column = 0;
};

// The line's tokens for the parser: comments dropped, and a line that could
// not even be split into words reported at its first problem.
std::vector<Token> tokenize(std::string_view s) {
    LexedLine lexed = lexLine(s);
    if (lexed.problem) throw SyntaxError{std::move(lexed.problem->message), lexed.problem->column};
    std::vector<Token> out;
    out.reserve(lexed.tokens.size());
    for (Token& t : lexed.tokens)
        if (t.kind != Token::Kind::Comment) out.push_back(std::move(t));
    return out;
}

int variableIndex(const Token& t) {
    if (t.kind == Token::Kind::Name && t.text.size() == 1 && t.text[0] >= 'a' && t.text[0] <= 'z')
        return t.text[0] - 'a';
    return -1;
}

std::string describe(const Token& t) {
    switch (t.kind) {
    case Token::Kind::End: return "end of line";
    case Token::Kind::Number: return "'" + std::to_string(t.number) + "'";
    case Token::Kind::Text: return "\"" + t.text + "\"";
    default: return "'" + t.text + "'";
    }
}

// ----------------------------------------------------------------- parser

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    Stmt statement() {
        Stmt s;
        const Token& first = peek();
        if (first.kind != Token::Kind::Name) throw SyntaxError{"cannot understand " + describe(first), first.column};
        const std::string word = first.text;
        const std::size_t firstColumn = first.column;
        s.column = firstColumn;
        if (word == "print") {
            next();
            s.kind = Stmt::Kind::Print;
            printItems(s);
        } else if (word == "input") {
            next();
            s.kind = Stmt::Kind::Input;
            if (peek().kind == Token::Kind::Text) {
                s.text = next().text;
                expect(",");
            }
            s.var = variable("input");
            if (s.text.empty()) s.text = std::string(1, static_cast<char>('A' + s.var)) + "?";
        } else if (word == "if") {
            next();
            s.kind = Stmt::Kind::If;
            s.exprs.push_back(expression());
            expectWord("then");
            if (peek().kind != Token::Kind::End)
                throw SyntaxError{"'then' ends its line: put the statements on the lines after it", peek().column};
        } else if (word == "end" && peekAt(1).kind == Token::Kind::Name && peekAt(1).text == "if") {
            throw SyntaxError{"'endif' is written as one word", firstColumn};
        } else if (word == "else" || word == "endif" || word == "wend" || word == "return" || word == "end") {
            next();
            s.kind = word == "else" ? Stmt::Kind::Else
                   : word == "endif" ? Stmt::Kind::Endif
                   : word == "wend" ? Stmt::Kind::Wend
                   : word == "return" ? Stmt::Kind::Return : Stmt::Kind::End;
        } else if (word == "while") {
            next();
            s.kind = Stmt::Kind::While;
            s.exprs.push_back(expression());
        } else if (word == "for") {
            next();
            s.kind = Stmt::Kind::For;
            s.var = variable("for");
            expect("=");
            s.exprs.push_back(expression());
            expectWord("to");
            s.exprs.push_back(expression());
            if (peek().kind == Token::Kind::Name && peek().text == "step") {
                next();
                s.exprs.push_back(expression());
            }
        } else if (word == "next") {
            next();
            s.kind = Stmt::Kind::Next;
            if (peek().kind != Token::Kind::End) s.var = variable("next");
        } else if (word == "goto" || word == "gosub") {
            next();
            s.kind = word == "goto" ? Stmt::Kind::Goto : Stmt::Kind::Gosub;
            const Token& label = peek();
            if (label.kind != Token::Kind::Name || isKeyword(label.text))
                throw SyntaxError{"'" + word + "' needs a label, not " + describe(label), label.column};
            s.labelColumn = label.column;
            s.text = next().text;
        } else if (word == "delay") {
            next();
            s.kind = Stmt::Kind::Delay;
            s.exprs.push_back(expression());
        } else if (isKeyword(word)) {
            throw SyntaxError{"'" + word + "' cannot start a statement", firstColumn};
        } else if (variableIndex(first) >= 0 && peekAt(1).kind == Token::Kind::Symbol && peekAt(1).text == "=") {
            s.kind = Stmt::Kind::Assign;
            s.var = variableIndex(next());
            next();
            s.exprs.push_back(expression());
        } else if (const Builtin* b = findBuiltin(word)) {
            next();
            s.kind = Stmt::Kind::Call;
            s.call = call(b, firstColumn);
        } else if (variableIndex(first) >= 0) {
            throw SyntaxError{"expected '=' after " + describe(first), peekAt(1).column};
        } else {
            throw SyntaxError{"unknown statement '" + word + "'", firstColumn};
        }
        if (peek().kind != Token::Kind::End) throw SyntaxError{"unexpected " + describe(peek()), peek().column};
        return s;
    }

    const Token& peek() const { return t_[i_]; }
    const Token& peekAt(std::size_t k) const { return t_[std::min(i_ + k, t_.size() - 1)]; }
    const Token& next() { return t_[i_ < t_.size() - 1 ? i_++ : i_]; }

private:
    bool isSymbol(const char* sym) const {
        return peek().kind == Token::Kind::Symbol && peek().text == sym;
    }
    bool isWord(const char* word) const {
        return peek().kind == Token::Kind::Name && peek().text == word;
    }
    void expect(const char* sym) {
        if (!isSymbol(sym)) throw SyntaxError{std::string("expected '") + sym + "' but found " + describe(peek()), peek().column};
        next();
    }
    void expectWord(const char* word) {
        if (!isWord(word)) throw SyntaxError{std::string("expected '") + word + "' but found " + describe(peek()), peek().column};
        next();
    }
    int variable(const char* after) {
        const int v = variableIndex(peek());
        if (v < 0) throw SyntaxError{std::string("'") + after + "' needs a variable A to Z, not " + describe(peek()), peek().column};
        next();
        return v;
    }

    void printItems(Stmt& s) {
        if (peek().kind == Token::Kind::End) return;
        while (true) {
            PrintItem item;
            if (peek().kind == Token::Kind::Text) {
                item.isText = true;
                item.text = next().text;
            } else {
                item.expr = expression();
            }
            s.items.push_back(std::move(item));
            if (isSymbol(",") || isSymbol(";")) {
                next();
                if (peek().kind == Token::Kind::End) {
                    // A trailing separator keeps the console line open.
                    s.newline = false;
                    return;
                }
                continue;
            }
            return;
        }
    }

    // column: where the built-in's name stands, for the problems of the call.
    Expr call(const Builtin* b, std::size_t column) {
        Expr e;
        e.kind = Expr::Kind::Call;
        e.builtin = b;
        if (isSymbol("(")) {
            next();
            if (!isSymbol(")")) {
                while (true) {
                    const std::size_t argumentColumn = peek().column;
                    e.args.push_back(expression());
                    e.args.back().column = argumentColumn;
                    if (isSymbol(",")) { next(); continue; }
                    break;
                }
            }
            expect(")");
        } else if (b->arguments() > 0) {
            throw SyntaxError{"'" + std::string(b->name) + "' needs its arguments in parentheses", column};
        }
        const int n = static_cast<int>(e.args.size());
        if (n != b->arguments()) {
            throw SyntaxError{"'" + std::string(b->name) + "' takes " + std::to_string(b->arguments()) +
                                  (b->arguments() == 1 ? " argument" : " arguments") + ", not " + std::to_string(n),
                              column};
        }
        return e;
    }

    static Expr binary(Expr::Op op, Expr a, Expr b) {
        Expr e;
        e.kind = Expr::Kind::Binary;
        e.op = op;
        e.args.push_back(std::move(a));
        e.args.push_back(std::move(b));
        return e;
    }

public:
    Expr expression() {
        Expr e = conjunction();
        while (isWord("or")) { next(); e = binary(Expr::Op::Or, std::move(e), conjunction()); }
        return e;
    }

private:
    Expr conjunction() {
        Expr e = comparison();
        while (isWord("and")) { next(); e = binary(Expr::Op::And, std::move(e), comparison()); }
        return e;
    }
    Expr comparison() {
        Expr e = sum();
        while (peek().kind == Token::Kind::Symbol) {
            const std::string& s = peek().text;
            Expr::Op op;
            if (s == "=") op = Expr::Op::Eq;
            else if (s == "<>") op = Expr::Op::Ne;
            else if (s == "<") op = Expr::Op::Lt;
            else if (s == ">") op = Expr::Op::Gt;
            else if (s == "<=") op = Expr::Op::Le;
            else if (s == ">=") op = Expr::Op::Ge;
            else break;
            next();
            e = binary(op, std::move(e), sum());
        }
        return e;
    }
    Expr sum() {
        Expr e = product();
        while (isSymbol("+") || isSymbol("-")) {
            const Expr::Op op = isSymbol("+") ? Expr::Op::Add : Expr::Op::Sub;
            next();
            e = binary(op, std::move(e), product());
        }
        return e;
    }
    Expr product() {
        Expr e = unary();
        while (isSymbol("*") || isSymbol("/") || isWord("mod")) {
            const Expr::Op op = isSymbol("*") ? Expr::Op::Mul : isSymbol("/") ? Expr::Op::Div : Expr::Op::Mod;
            next();
            e = binary(op, std::move(e), unary());
        }
        return e;
    }
    Expr unary() {
        if (isSymbol("-") || isWord("not")) {
            Expr e;
            e.kind = isSymbol("-") ? Expr::Kind::Negate : Expr::Kind::Not;
            next();
            e.args.push_back(unary());
            return e;
        }
        return primary();
    }
    Expr primary() {
        const Token& t = peek();
        Expr e;
        if (t.kind == Token::Kind::Number) {
            e.kind = Expr::Kind::Number;
            e.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(t.number));
            next();
            return e;
        }
        if (isSymbol("(")) {
            next();
            e = expression();
            expect(")");
            return e;
        }
        if (t.kind == Token::Kind::Name) {
            if (const Builtin* b = findBuiltin(t.text)) {
                if (!b->function) throw SyntaxError{"'" + t.text + "' is a subroutine and gives no value", t.column};
                const std::size_t column = t.column;
                next();
                return call(b, column);
            }
            const int v = variableIndex(t);
            if (v >= 0) {
                e.kind = Expr::Kind::Variable;
                e.index = v;
                next();
                return e;
            }
            if (!isKeyword(t.text)) throw SyntaxError{"unknown name '" + t.text + "'", t.column};
        }
        throw SyntaxError{"expected a value but found " + describe(t), t.column};
    }

    std::vector<Token> t_;
    std::size_t i_ = 0;
};

// A label line is a name and a colon, nothing else but a comment.
std::optional<std::string> labelOf(const std::vector<Token>& tokens) {
    if (tokens.size() == 3 && tokens[0].kind == Token::Kind::Name && tokens[1].kind == Token::Kind::Symbol &&
        tokens[1].text == ":")
        return tokens[0].text;
    return std::nullopt;
}

}  // namespace

ParsedLine parseStatementLine(std::string_view text) {
    ParsedLine out;
    try {
        std::vector<Token> tokens = tokenize(text);
        if (tokens.size() == 1) return out;
        if (labelOf(tokens)) {
            out.error = "a label cannot be used here";
            return out;
        }
        Parser p(std::move(tokens));
        out.stmt = p.statement();
    } catch (const SyntaxError& e) {
        out.error = e.message;
    }
    return out;
}

Program parseProgram(std::string_view bytes) {
    Program prog;
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    prog.size = bytes.size();

    struct Found {
        std::size_t line;    // index into lines
        std::size_t column;  // 0-based
        std::string message;
    };
    std::vector<Found> errors;
    const auto problem = [&](std::size_t line, std::size_t column, std::string message) {
        errors.push_back({line, column, std::move(message)});
    };

    // Split into lines: CR LF as stored; a lone LF or CR is taken as a line end too.
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        Line line;
        line.offset = start;
        line.number = static_cast<int>(prog.lines.size()) + 1;
        const std::string_view text = bytes.substr(start, end - start);
        const std::size_t index = prog.lines.size();
        try {
            if (text.size() > kMaxLineLength) throw SyntaxError{"line longer than 80 characters", kMaxLineLength};
            std::vector<Token> tokens = tokenize(text);
            if (auto label = labelOf(tokens)) {
                if (isKeyword(*label) || findBuiltin(*label))
                    throw SyntaxError{"'" + *label + "' cannot be a label", tokens[0].column};
                line.label = *label;
                if (prog.labels.count(*label)) problem(index, tokens[0].column, "label '" + *label + "' defined twice");
                else prog.labels[*label] = index;
            } else if (tokens.size() > 3 && tokens[0].kind == Token::Kind::Name &&
                       tokens[1].kind == Token::Kind::Symbol && tokens[1].text == ":") {
                throw SyntaxError{"a label stands alone on its line", tokens[2].column};
            } else if (tokens.size() > 1) {
                line.statement = true;
                Parser p(std::move(tokens));
                line.stmt = p.statement();
            }
        } catch (const SyntaxError& e) {
            line.statement = true;  // the workbench marks it, so the position may stand on it
            problem(index, e.column, e.message);
        }
        prog.lines.push_back(std::move(line));
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') end += 2;
        else if (end < bytes.size()) end += 1;
        start = end;
    }

    // Blocks: if/else/endif, while/wend, for/next must nest properly.
    struct Open {
        std::size_t line;
        bool sawElse;
    };
    std::vector<Open> open;
    const auto name = [](Stmt::Kind k) {
        switch (k) {
        case Stmt::Kind::If: return "if";
        case Stmt::Kind::While: return "while";
        default: return "for";
        }
    };
    const auto closer = [](Stmt::Kind k) {
        switch (k) {
        case Stmt::Kind::If: return "endif";
        case Stmt::Kind::While: return "wend";
        default: return "next";
        }
    };
    // A closer that does not fit is the problem to report; the opener it
    // failed to close would only be a consequence, so checking stops there.
    // A line that could not be read may have been the missing closer, so
    // with such lines an unclosed opener is not reported either.
    // Likewise a closer after such a line may have lost its opener there: it
    // stops the checking but is not reported (the earlier line is, and is
    // the first problem either way).
    bool broken = false;
    const bool unreadable = !errors.empty();
    const std::size_t firstUnreadable = unreadable ? errors.front().line : prog.lines.size();
    const auto blockProblem = [&](std::size_t line, std::size_t column, std::string message) {
        if (line < firstUnreadable) problem(line, column, std::move(message));
        broken = true;
    };
    for (std::size_t i = 0; i < prog.lines.size() && !broken; ++i) {
        Line& line = prog.lines[i];
        if (!line.statement) continue;
        Stmt& s = line.stmt;
        Stmt* top = open.empty() ? nullptr : &prog.lines[open.back().line].stmt;
        switch (s.kind) {
        case Stmt::Kind::If:
        case Stmt::Kind::While:
        case Stmt::Kind::For:
            open.push_back({i, false});
            break;
        case Stmt::Kind::Else:
            if (!top || top->kind != Stmt::Kind::If || open.back().sawElse) {
                blockProblem(i, s.column, "'else' without 'if'");
                break;
            }
            top->target = i;
            open.back().sawElse = true;
            break;
        case Stmt::Kind::Endif:
            if (!top || top->kind != Stmt::Kind::If) {
                blockProblem(i, s.column, "'endif' without 'if'");
                break;
            }
            if (open.back().sawElse) prog.lines[top->target].stmt.target = i;
            else top->target = i;
            s.target = open.back().line;
            open.pop_back();
            break;
        case Stmt::Kind::Wend:
        case Stmt::Kind::Next: {
            const Stmt::Kind want = s.kind == Stmt::Kind::Wend ? Stmt::Kind::While : Stmt::Kind::For;
            const char* mine = s.kind == Stmt::Kind::Wend ? "wend" : "next";
            if (!top || top->kind != want) {
                blockProblem(i, s.column, std::string("'") + mine + "' without '" + name(want) + "'");
                break;
            }
            if (s.kind == Stmt::Kind::Next && s.var >= 0 && s.var != top->var) {
                blockProblem(i, s.column,
                             std::string("'next ") + static_cast<char>('A' + s.var) + "' does not match 'for " +
                                 static_cast<char>('A' + top->var) + "'");
                break;
            }
            top->target = i;
            s.target = open.back().line;
            open.pop_back();
            break;
        }
        default:
            break;
        }
    }
    for (const Open& o : broken || unreadable ? std::vector<Open>{} : open) {
        const Stmt& opener = prog.lines[o.line].stmt;
        const Stmt::Kind k = opener.kind;
        problem(o.line, opener.column, std::string("'") + name(k) + "' without '" + closer(k) + "'");
    }

    // Labels.
    for (std::size_t i = 0; i < prog.lines.size(); ++i) {
        Line& line = prog.lines[i];
        if (!line.statement) continue;
        Stmt& s = line.stmt;
        if (s.kind != Stmt::Kind::Goto && s.kind != Stmt::Kind::Gosub) continue;
        const auto it = prog.labels.find(s.text);
        if (it == prog.labels.end()) problem(i, s.labelColumn, "unknown label '" + s.text + "'");
        else s.target = it->second;
    }

    // By line; the board reports the first, and of several on one line the
    // one found first.
    std::stable_sort(errors.begin(), errors.end(), [](const Found& a, const Found& b) { return a.line < b.line; });
    for (const Found& f : errors)
        prog.diagnostics.push_back({prog.lines[f.line].number, static_cast<int>(f.column) + 1, f.message});
    if (!errors.empty()) prog.error = ProgramError{errors.front().line, errors.front().message};
    return prog;
}

namespace {

// The value of an expression that is a number, or a negated one, however
// parenthesised; none for anything the program computes.
std::optional<std::int32_t> constantValue(const Expr& e) {
    if (e.kind == Expr::Kind::Number) return e.value;
    if (e.kind == Expr::Kind::Negate && e.args.size() == 1) {
        if (const auto inner = constantValue(e.args[0]))
            return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(*inner));  // wraps as the board's does
    }
    return std::nullopt;
}

// Each constant argument of the calls in `e` that its built-in refuses.
void findRefusedArguments(const Expr& e, int lineNumber, std::vector<Diagnostic>& out) {
    for (const Expr& a : e.args) findRefusedArguments(a, lineNumber, out);
    if (e.kind != Expr::Kind::Call || !e.builtin) return;
    for (std::size_t i = 0; i < e.args.size() && i < e.builtin->params.size(); ++i) {
        const BuiltinParam& p = e.builtin->params[i];
        const auto v = constantValue(e.args[i]);
        if (!v || (*v >= p.min && *v <= p.max)) continue;
        out.push_back({lineNumber, static_cast<int>(e.args[i].column) + 1,
                       std::string(p.what) + " " + std::to_string(*v) + " is not " + std::to_string(p.min) + " to " +
                           std::to_string(p.max),
                       true});
    }
}

}  // namespace

std::vector<Diagnostic> checkProgram(std::string_view bytes) {
    const Program prog = parseProgram(bytes);
    std::vector<Diagnostic> warnings;
    for (const Line& line : prog.lines) {
        if (!line.statement) continue;
        const Stmt& s = line.stmt;
        for (const Expr& e : s.exprs) findRefusedArguments(e, line.number, warnings);
        for (const PrintItem& item : s.items)
            if (!item.isText) findRefusedArguments(item.expr, line.number, warnings);
        if (s.kind == Stmt::Kind::Call) findRefusedArguments(s.call, line.number, warnings);
    }
    if (warnings.empty()) return prog.diagnostics;
    std::vector<Diagnostic> all;
    all.reserve(prog.diagnostics.size() + warnings.size());
    std::merge(prog.diagnostics.begin(), prog.diagnostics.end(), warnings.begin(), warnings.end(),
               std::back_inserter(all), [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    return all;
}

}  // namespace travin::lang
