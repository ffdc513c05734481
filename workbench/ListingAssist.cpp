#include "workbench/ListingAssist.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "assistant/FuncAssistCatalogue.h"
#include "lang/Lexer.h"

namespace travin {

namespace {

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The catalogue's first entry of that name (the servo's where the stepper
// shares it; their texts agree on what the user needs here).
const FuncAssistEntry* catalogueEntry(const std::string& name) {
    for (int i = 0; i < FuncAssistEntryCount; ++i)
        if (name == FuncAssistCatalogue[i].Name) return &FuncAssistCatalogue[i];
    return nullptr;
}

std::string signatureOf(const lang::Builtin& b) {
    std::string s = std::string(b.name) + "(";
    for (std::size_t i = 0; i < b.params.size(); ++i) s += (i ? ", " : "") + std::string(b.params[i].what);
    return s + ")";
}

std::string rangeText(const lang::BuiltinParam& p) {
    if (!p.checked()) return "any value";
    return std::to_string(p.min) + " to " + std::to_string(p.max);
}

// The labels the program defines: "name:" alone on a line.
std::vector<std::string> labelsOf(const std::vector<std::string>& lines) {
    std::set<std::string> found;
    for (const std::string& line : lines) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || !std::isalpha(static_cast<unsigned char>(line[first]))) continue;
        const lang::LexedLine lexed = lang::lexLine(line);
        const auto& t = lexed.tokens;
        if (t.size() >= 3 && t[0].kind == lang::Token::Kind::Name && t[1].kind == lang::Token::Kind::Symbol &&
            t[1].text == ":" && (t[2].kind == lang::Token::Kind::End || t[2].kind == lang::Token::Kind::Comment))
            found.insert(t[0].text);
    }
    return {found.begin(), found.end()};
}

}  // namespace

CompletionList completionsAt(const std::vector<std::string>& lines, int line, int column) {
    CompletionList out;
    if (line < 0 || line >= static_cast<int>(lines.size())) return out;
    const std::string& text = lines[static_cast<std::size_t>(line)];
    column = std::clamp(column, 0, static_cast<int>(text.size()));
    int start = column;
    while (start > 0 && isNameChar(text[static_cast<std::size_t>(start - 1)])) --start;
    out.wordStart = start;
    const std::string prefix = lower(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(column - start)));

    // The word before the one being completed decides: a label after goto
    // and gosub, a built-in anywhere else.
    const lang::LexedLine before = lang::lexLine(std::string_view(text).substr(0, static_cast<std::size_t>(start)));
    const auto& tokens = before.tokens;
    const bool afterJump = tokens.size() >= 2 && tokens[tokens.size() - 2].kind == lang::Token::Kind::Name &&
                           (tokens[tokens.size() - 2].text == "goto" || tokens[tokens.size() - 2].text == "gosub");
    if (afterJump) {
        for (const std::string& label : labelsOf(lines)) {
            if (label.rfind(prefix, 0) != 0) continue;
            Completion c;
            c.name = c.signature = label;
            c.description = "label";
            c.isLabel = true;
            out.items.push_back(std::move(c));
        }
        return out;
    }
    for (const lang::Builtin& b : lang::builtins()) {
        if (std::string_view(b.name).rfind(prefix, 0) != 0) continue;
        Completion c;
        c.name = b.name;
        c.signature = signatureOf(b);
        const FuncAssistEntry* e = catalogueEntry(b.name);
        c.description = e ? e->Description : "";
        c.isFunction = b.function;
        c.parameterCount = b.arguments();
        out.items.push_back(std::move(c));
    }
    std::sort(out.items.begin(), out.items.end(), [](const Completion& a, const Completion& b) { return a.name < b.name; });
    return out;
}

std::optional<CallParameter> parameterAt(const std::string& lineText, int column) {
    column = std::clamp(column, 0, static_cast<int>(lineText.size()));
    const lang::LexedLine lexed = lang::lexLine(std::string_view(lineText).substr(0, static_cast<std::size_t>(column)));
    // Each open parenthesis before the caret, with the built-in it calls
    // (nullptr for a grouping) and the commas seen inside it so far.
    struct Open {
        const lang::Builtin* builtin;
        int commas;
    };
    std::vector<Open> open;
    const auto& t = lexed.tokens;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != lang::Token::Kind::Symbol) continue;
        if (t[i].text == "(") {
            const lang::Builtin* b = i > 0 && t[i - 1].kind == lang::Token::Kind::Name ? lang::findBuiltin(t[i - 1].text) : nullptr;
            open.push_back({b, 0});
        } else if (t[i].text == ")") {
            if (!open.empty()) open.pop_back();
        } else if (t[i].text == "," && !open.empty()) {
            ++open.back().commas;
        }
    }
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (!it->builtin) continue;
        const lang::Builtin& b = *it->builtin;
        CallParameter p;
        p.builtin = &b;
        p.index = it->commas;
        const int count = b.arguments();
        if (count == 0) {
            p.text = std::string(b.name) + " takes no arguments";
        } else if (p.index >= count) {
            p.text = std::string(b.name) + " takes " + std::to_string(count) + (count == 1 ? " argument" : " arguments");
        } else {
            const FuncAssistEntry* e = catalogueEntry(b.name);
            const std::string said = e ? e->Params[p.index].Description : b.params[static_cast<std::size_t>(p.index)].what;
            p.text = std::string(b.name) + " " + std::to_string(p.index + 1) + "/" + std::to_string(count) + ": " + said +
                     "; " + rangeText(b.params[static_cast<std::size_t>(p.index)]);
        }
        return p;
    }
    return std::nullopt;
}

}  // namespace travin
