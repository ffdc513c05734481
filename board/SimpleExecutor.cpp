#include "board/SimpleExecutor.h"

namespace vboard {

namespace {

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

bool isStatement(std::string_view line) {
    line = trimLeft(line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return !line.empty() && line.front() != '\'';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The text of `print "text"` (keyword in any case), or false.
bool printText(std::string_view line, std::string& text) {
    line = trimLeft(line);
    if (line.size() < 5 || !equalsNoCase(line.substr(0, 5), "print")) return false;
    line = trimLeft(line.substr(5));
    if (line.empty() || line.front() != '"') return false;
    std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos) return false;
    text.assign(line.substr(1, close - 1));
    return true;
}

}  // namespace

void SimpleExecutor::load(std::string_view program) {
    statements_.clear();
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t lf = program.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? program.size() : lf;
        std::string_view line = program.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (isStatement(line) && start <= 0xFFFF)
            statements_.push_back({static_cast<std::uint16_t>(start), std::string(line)});
        start = lf == std::string_view::npos ? program.size() : lf + 1;
    }
    endPosition_ = static_cast<std::uint16_t>(program.size() > 0xFFFF ? 0xFFFF : program.size());
    next_ = 0;
}

void SimpleExecutor::reset() {
    next_ = 0;
    variables_.fill(0);
}

bool SimpleExecutor::prepare(ExecutorHost&) { return true; }

std::uint16_t SimpleExecutor::position() const {
    return next_ < statements_.size() ? statements_[next_].start : endPosition_;
}

void SimpleExecutor::setPosition(std::uint16_t position) {
    next_ = 0;
    while (next_ < statements_.size() && statements_[next_].start < position) ++next_;
}

bool SimpleExecutor::atEnd() const { return next_ >= statements_.size(); }

std::int32_t SimpleExecutor::variable(int index) const {
    return index >= 0 && index < 26 ? variables_[static_cast<std::size_t>(index)] : 0;
}

void SimpleExecutor::setVariable(int index, std::int32_t value) {
    if (index >= 0 && index < 26) variables_[static_cast<std::size_t>(index)] = value;
}

LineOutcome SimpleExecutor::executeLine(ExecutorHost& host) {
    if (atEnd()) return LineOutcome::Ended;
    std::string text;
    if (printText(statements_[next_].text, text)) host.consoleWrite(text + "\r\n");
    if (next_ + 1 >= statements_.size()) return LineOutcome::Ended;
    ++next_;
    return LineOutcome::Executed;
}

std::string SimpleExecutor::inputPrompt() const { return {}; }
void SimpleExecutor::provideInput(std::string_view) {}
void SimpleExecutor::abandonLine() {}
void SimpleExecutor::executeAci(std::string_view, ExecutorHost&) {}

}  // namespace vboard
