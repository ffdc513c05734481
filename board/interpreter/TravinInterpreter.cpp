#include "board/interpreter/TravinInterpreter.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace vboard {

using travin::lang::parseProgram;
using travin::lang::parseStatementLine;

namespace {

struct RunError {
    std::string message;
};

// Arithmetic wraps around in 32 bits, as the board's does.
std::int32_t wrap(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// Every argument against the range the language's table gives it, in the
// order of the parameters.
void checkRanges(const Builtin& b, const std::vector<std::int32_t>& a, std::size_t from) {
    for (std::size_t i = from; i < b.params.size() && i < a.size(); ++i) {
        const travin::lang::BuiltinParam& p = b.params[i];
        if (a[i] < p.min || a[i] > p.max)
            throw RunError{std::string(p.what) + " " + std::to_string(a[i]) + " is not " + std::to_string(p.min) +
                           " to " + std::to_string(p.max)};
    }
}

const char* kindName(Stmt::Kind k) {
    switch (k) {
    case Stmt::Kind::Input: return "input";
    case Stmt::Kind::If: return "if";
    case Stmt::Kind::Else: return "else";
    case Stmt::Kind::Endif: return "endif";
    case Stmt::Kind::While: return "while";
    case Stmt::Kind::Wend: return "wend";
    case Stmt::Kind::For: return "for";
    case Stmt::Kind::Next: return "next";
    case Stmt::Kind::Goto: return "goto";
    case Stmt::Kind::Gosub: return "gosub";
    case Stmt::Kind::Return: return "return";
    case Stmt::Kind::Delay: return "delay";
    case Stmt::Kind::End: return "end";
    default: return "this statement";
    }
}

}  // namespace

TravinInterpreter::TravinInterpreter(const Rig& rig) : modules_(rig) { load({}); }

void TravinInterpreter::load(std::string_view program) {
    program_ = parseProgram(program);
    clearRunState();
    pos_ = firstStatementFrom(0);
}

void TravinInterpreter::reset() {
    vars_.fill(0);
    clearRunState();
    pos_ = firstStatementFrom(0);
    modules_.stopAll(lastNowMs_);
}

void TravinInterpreter::clearRunState() {
    ended_ = false;
    gosubStack_.clear();
    forStates_.clear();
    pending_ = Pending::None;
}

std::size_t TravinInterpreter::firstStatementFrom(std::size_t index) const {
    while (index < program_.lines.size() && !program_.lines[index].statement) ++index;
    return index;
}

bool TravinInterpreter::prepare(ExecutorHost& host) {
    lastNowMs_ = host.nowMs();
    if (program_.error) {
        fail(host, program_.error->line, program_.error->message);
        return false;
    }
    if (ended_) {
        // Run after the end starts the program over.
        clearRunState();
        pos_ = firstStatementFrom(0);
    }
    return true;
}

std::uint16_t TravinInterpreter::position() const {
    const std::size_t offset = pos_ < program_.lines.size() ? program_.lines[pos_].offset : program_.size;
    return static_cast<std::uint16_t>(std::min<std::size_t>(offset, 0xFFFF));
}

void TravinInterpreter::setPosition(std::uint16_t position) {
    std::size_t index = 0;
    while (index + 1 < program_.lines.size() && program_.lines[index + 1].offset <= position) ++index;
    if (index < program_.lines.size() && position >= program_.size) index = program_.lines.size();
    pos_ = firstStatementFrom(index);
    // A position set from outside starts a fresh run: returns and loops
    // that belonged to the old place would only mislead.
    clearRunState();
}

bool TravinInterpreter::atEnd() const { return ended_ || pos_ >= program_.lines.size(); }

std::int32_t TravinInterpreter::variable(int index) const {
    return index >= 0 && index < 26 ? vars_[static_cast<std::size_t>(index)] : 0;
}

void TravinInterpreter::setVariable(int index, std::int32_t value) {
    if (index >= 0 && index < 26) vars_[static_cast<std::size_t>(index)] = value;
}

void TravinInterpreter::fail(ExecutorHost& host, std::size_t line, const std::string& message) {
    pending_ = Pending::None;
    pos_ = line;
    const int number = line < program_.lines.size() ? program_.lines[line].number : 0;
    host.consoleWrite("Error in line " + std::to_string(number) + ": " + message + "\r\n");
}

LineOutcome TravinInterpreter::executeLine(ExecutorHost& host) {
    lastNowMs_ = host.nowMs();
    if (program_.error) {
        fail(host, program_.error->line, program_.error->message);
        return LineOutcome::Failed;
    }
    if (ended_ || pos_ >= program_.lines.size()) {
        ended_ = true;
        return LineOutcome::Ended;
    }
    if (pending_ == Pending::Input) return LineOutcome::NeedsInput;

    const std::size_t line = pos_;
    Result r;
    try {
        r = execute(program_.lines[line].stmt, line, host);
    } catch (const RunError& e) {
        fail(host, line, e.message);
        return LineOutcome::Failed;
    }
    std::size_t next = 0;
    switch (r.flow) {
    case Flow::Block: return LineOutcome::Blocked;
    case Flow::Input: return LineOutcome::NeedsInput;
    case Flow::End:
        ended_ = true;
        gosubStack_.clear();
        return LineOutcome::Ended;
    case Flow::Next: next = firstStatementFrom(line + 1); break;
    case Flow::Jump: next = firstStatementFrom(r.target); break;
    }
    if (next >= program_.lines.size()) {
        // Falling off the end: the line that ran last is where the program ended.
        ended_ = true;
        gosubStack_.clear();
        return LineOutcome::Ended;
    }
    pos_ = next;
    return LineOutcome::Executed;
}

std::string TravinInterpreter::inputPrompt() const { return pending_ == Pending::Input ? prompt_ : std::string(); }

void TravinInterpreter::provideInput(std::string_view answer) {
    if (pending_ != Pending::Input) return;
    // Read like a C "%ld": blanks, an optional sign, digits; the rest is ignored
    // and no number at all counts as 0. Values beyond 32 bits are limited.
    std::size_t i = 0;
    while (i < answer.size() && std::isspace(static_cast<unsigned char>(answer[i]))) ++i;
    bool negative = false;
    if (i < answer.size() && (answer[i] == '+' || answer[i] == '-')) negative = answer[i++] == '-';
    std::int64_t value = 0;
    while (i < answer.size() && std::isdigit(static_cast<unsigned char>(answer[i]))) {
        value = std::min<std::int64_t>(value * 10 + (answer[i] - '0'), 1LL << 32);
        ++i;
    }
    if (negative) value = -value;
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    vars_[static_cast<std::size_t>(inputVar_)] = static_cast<std::int32_t>(value);
    pending_ = Pending::None;
    const std::size_t next = firstStatementFrom(pos_ + 1);
    if (next >= program_.lines.size()) ended_ = true;
    else pos_ = next;
}

void TravinInterpreter::abandonLine() { pending_ = Pending::None; }

std::uint64_t TravinInterpreter::blockedUntilMs() const {
    return pending_ == Pending::Delay || pending_ == Pending::WaitMove ? deadline_ : 0;
}

TravinInterpreter::Result TravinInterpreter::execute(const Stmt& s, std::size_t line, ExecutorHost& host) {
    using K = Stmt::Kind;
    const auto jump = [](std::size_t target) { return Result{Flow::Jump, target}; };
    switch (s.kind) {
    case K::Assign:
        vars_[static_cast<std::size_t>(s.var)] = evaluate(s.exprs[0], host);
        return {};
    case K::Print:
        print(s, host);
        return {};
    case K::Input:
        pending_ = Pending::Input;
        prompt_ = s.text;
        inputVar_ = s.var;
        return {Flow::Input, 0};
    case K::If:
        if (evaluate(s.exprs[0], host) != 0) return {};
        return jump(s.target + 1);  // past the else or the endif
    case K::Else:
        return jump(s.target + 1);  // the then-part ran: past the endif
    case K::Endif:
        return {};
    case K::While:
        if (evaluate(s.exprs[0], host) != 0) return {};
        return jump(s.target + 1);
    case K::Wend:
        return jump(s.target);
    case K::For: {
        const std::int32_t from = evaluate(s.exprs[0], host);
        const std::int32_t limit = evaluate(s.exprs[1], host);
        const std::int32_t step = s.exprs.size() > 2 ? evaluate(s.exprs[2], host) : 1;
        if (step == 0) throw RunError{"'for' with step 0"};
        vars_[static_cast<std::size_t>(s.var)] = from;
        forStates_[line] = {limit, step};
        if (step > 0 ? from > limit : from < limit) return jump(s.target + 1);
        return {};
    }
    case K::Next: {
        const auto it = forStates_.find(s.target);
        if (it == forStates_.end()) throw RunError{"'next' reached without running its 'for'"};
        const Stmt& f = program_.lines[s.target].stmt;
        std::int32_t& v = vars_[static_cast<std::size_t>(f.var)];
        // Compared in 64 bits, so a loop up to the largest value still ends.
        const std::int64_t value = static_cast<std::int64_t>(v) + it->second.step;
        v = wrap(value);
        if (it->second.step > 0 ? value <= it->second.limit : value >= it->second.limit) return jump(s.target + 1);
        forStates_.erase(it);
        return {};
    }
    case K::Goto:
        return jump(s.target);
    case K::Gosub:
        if (gosubStack_.size() >= kMaxGosubDepth)
            throw RunError{"gosub nested deeper than " + std::to_string(kMaxGosubDepth)};
        gosubStack_.push_back(line + 1);
        return jump(s.target);
    case K::Return: {
        if (gosubStack_.empty()) throw RunError{"'return' without 'gosub'"};
        const std::size_t back = gosubStack_.back();
        gosubStack_.pop_back();
        return jump(back);
    }
    case K::Delay: {
        const std::uint64_t now = host.nowMs();
        if (pending_ == Pending::Delay) {
            if (now >= deadline_) {
                pending_ = Pending::None;
                return {};
            }
            return {Flow::Block, 0};
        }
        const std::int32_t ms = evaluate(s.exprs[0], host);
        if (ms <= 0) return {};
        deadline_ = now + static_cast<std::uint64_t>(ms);
        pending_ = Pending::Delay;
        return {Flow::Block, 0};
    }
    case K::End:
        return {Flow::End, 0};
    case K::Call: {
        bool moving = false;
        callBuiltin(s.call, host, &moving);
        if (moving) {
            pending_ = Pending::WaitMove;
            return {Flow::Block, 0};
        }
        pending_ = Pending::None;
        return {};
    }
    }
    return {};
}

void TravinInterpreter::print(const Stmt& s, ExecutorHost& host) {
    std::string out;
    for (const PrintItem& item : s.items) out += item.isText ? item.text : std::to_string(evaluate(item.expr, host));
    if (s.newline) out += "\r\n";
    if (!out.empty()) host.consoleWrite(out);
}

std::int32_t TravinInterpreter::evaluate(const Expr& e, ExecutorHost& host) {
    using K = Expr::Kind;
    using O = Expr::Op;
    switch (e.kind) {
    case K::Number: return e.value;
    case K::Variable: return vars_[static_cast<std::size_t>(e.index)];
    case K::Negate: return wrap(-static_cast<std::int64_t>(evaluate(e.args[0], host)));
    case K::Not: return ~evaluate(e.args[0], host);
    case K::Call: return callBuiltin(e, host);
    case K::Binary: break;
    }
    const std::int64_t a = evaluate(e.args[0], host);
    const std::int64_t b = evaluate(e.args[1], host);
    switch (e.op) {
    case O::Mul: return wrap(a * b);
    case O::Div:
        if (b == 0) throw RunError{"division by zero"};
        return wrap(a / b);  // in 64 bits, so -2147483648 / -1 wraps instead of trapping
    case O::Mod:
        if (b == 0) throw RunError{"division by zero"};
        return wrap(a % b);
    case O::Add: return wrap(a + b);
    case O::Sub: return wrap(a - b);
    case O::Eq: return a == b;
    case O::Ne: return a != b;
    case O::Lt: return a < b;
    case O::Gt: return a > b;
    case O::Le: return a <= b;
    case O::Ge: return a >= b;
    case O::And: return static_cast<std::int32_t>(a & b);
    case O::Or: return static_cast<std::int32_t>(a | b);
    }
    return 0;
}

Module& TravinInterpreter::module(const Builtin& b, std::int32_t address, std::uint64_t nowMs) {
    checkRanges(b, {address}, 0);
    Module* m = modules_.at(address);
    if (!m) throw RunError{"no module at address " + std::to_string(address)};
    const ModuleType t = m->type();
    const char* wanted = nullptr;
    switch (b.target) {
    case BuiltinTarget::Motor:
        if (t == ModuleType::Membo) wanted = "an Orlen servo or a Daska stepper";
        break;
    case BuiltinTarget::Orlen:
        if (t != ModuleType::Orlen) wanted = "an Orlen servo";
        break;
    case BuiltinTarget::Daska:
        if (t != ModuleType::Daska) wanted = "a Daska stepper";
        break;
    case BuiltinTarget::Membo:
        if (t != ModuleType::Membo) wanted = "a Membo I/O module";
        break;
    default:
        break;
    }
    if (wanted) {
        const char* article = t == ModuleType::Orlen ? " is an " : " is a ";
        throw RunError{"'" + std::string(b.name) + "' needs " + wanted + ", but module " + std::to_string(address) +
                       article + moduleTypeName(t)};
    }
    m->advance(nowMs);
    return *m;
}

std::int32_t TravinInterpreter::callBuiltin(const Expr& call, ExecutorHost& host, bool* stillMoving) {
    const Builtin& b = *call.builtin;
    std::vector<std::int32_t> a;
    a.reserve(call.args.size());
    for (const Expr& arg : call.args) a.push_back(evaluate(arg, host));
    const std::uint64_t now = host.nowMs();
    const std::string name = b.name;
    Module* m = b.target == BuiltinTarget::None ? nullptr : &module(b, a[0], now);
    // The module's address was checked with the module; the rest now, so
    // that nothing below acts on a value out of its range.
    checkRanges(b, a, m ? 1 : 0);

    if (name == "getchar") {
        const auto c = host.takeCharacter();
        return c ? *c : -1;
    }
    if (name == "geterr") {
        const int n = modules_.commErrors();
        if (a[0] == 1) modules_.setCommErrors(0);
        return n;
    }
    if (name == "getnminit") return modules_.count();
    if (name == "getstat") return m->statusByte();
    if (name == "gettype") return moduleTypeCode(m->type());
    if (name == "getver") return m->version();
    if (name == "peek") return modules_.peek(a[0]);
    if (name == "poke") {
        modules_.poke(a[0], static_cast<std::uint8_t>(a[1]));
        return 0;
    }
    if (name == "retrieve") return host.storedValue(a[0]);
    if (name == "store") {
        host.setStoredValue(a[0], a[1]);
        return 0;
    }
    if (name == "testbit") return (static_cast<std::uint32_t>(a[0]) >> (a[1] - 1)) & 1u;
    if (name == "nmreset") {
        modules_.resetAll(now);
        return 0;
    }
    if (name == "refresh") return 0;  // status is always current; the call checks the module answers

    // Servo and stepper.
    if (name == "getad") return m->analog(1);
    if (name == "gethome") return m->homePosition();
    if (name == "getpos") return m->position();
    if (name == "homing") {
        m->setHoming(a[1]);
        return 0;
    }
    if (name == "resetpos") {
        m->resetPosition();
        return 0;
    }
    if (name == "stopmot") {
        m->stopMotor(a[1]);
        return 0;
    }
    if (name == "waitmove") {
        if (stillMoving) {
            *stillMoving = m->moving();
            deadline_ = now + m->msUntilIdleAtLeast();
        }
        return 0;
    }
    // Servo.
    if (name == "getsvaux") return m->auxStatus();
    if (name == "getsverr") return m->positionError();
    if (name == "getsvvel") return m->velocity();
    if (name == "svcbits") {
        m->clearLatchedBits();
        return 0;
    }
    if (name == "svgain") {
        std::array<std::int32_t, 10> p{};
        std::copy(a.begin() + 1, a.begin() + 11, p.begin());
        m->servoGain(p);
        return 0;
    }
    if (name == "svtraj") {
        m->servoTrajectory(a[1], a[2], a[3], a[4], a[5]);
        return 0;
    }
    // Stepper.
    if (name == "getstin") return m->stepperInputs();
    if (name == "stoutput") {
        m->stepperOutputs(a[1]);
        return 0;
    }
    if (name == "stparam") {
        m->stepperParameters(a[1], a[2], a[3], a[4], a[5]);
        return 0;
    }
    if (name == "sttraj") {
        m->stepperTrajectory(a[1], a[2], a[3], a[4]);
        return 0;
    }
    // I/O.
    if (name == "getioad") return m->analog(a[1]);
    if (name == "getioin") return m->ioInputs();
    if (name == "gettmr") return m->timerValue(now);
    if (name == "iodir") {
        m->setDirection(a[1], a[2] == 1);
        return 0;
    }
    if (name == "iooutput") {
        m->setOutput(a[1], a[2] == 1);
        return 0;
    }
    if (name == "iopwm") {
        m->setPwm(a[1], a[2]);
        return 0;
    }
    if (name == "iotimer") {
        m->setTimerMode(a[1], now);
        return 0;
    }
    throw RunError{"'" + name + "' is not available"};
}

void TravinInterpreter::executeAci(std::string_view line, ExecutorHost& host) {
    lastNowMs_ = host.nowMs();
    const ParsedLine parsed = parseStatementLine(line);
    if (!parsed.error.empty()) {
        host.consoleWrite("ACI error: " + parsed.error + "\r\n");
        return;
    }
    if (!parsed.stmt) return;
    const Stmt& s = *parsed.stmt;
    try {
        switch (s.kind) {
        case Stmt::Kind::Assign:
            vars_[static_cast<std::size_t>(s.var)] = evaluate(s.exprs[0], host);
            break;
        case Stmt::Kind::Print:
            print(s, host);
            break;
        case Stmt::Kind::Call:
            if (std::string_view(s.call.builtin->name) == "waitmove")
                throw RunError{"'waitmove' cannot be an ACI command"};
            if (s.call.builtin->function) {
                // A function on its own shows its value.
                host.consoleWrite(std::to_string(callBuiltin(s.call, host)) + "\r\n");
            } else {
                callBuiltin(s.call, host);
            }
            break;
        default:
            throw RunError{std::string("'") + kindName(s.kind) + "' cannot be an ACI command"};
        }
    } catch (const RunError& e) {
        host.consoleWrite("ACI error: " + e.message + "\r\n");
    }
}

}  // namespace vboard
