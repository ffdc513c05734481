#include "docs/FuncRefPage.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace travin::docs {

namespace {

constexpr int kFunctionFlag = 0x80;
constexpr int kGroupMask = 0x0F;
constexpr int kModeParam = 1;  // the mode byte is always the second parameter
constexpr int kBitCount = 8;

bool IsFunction(const FuncAssistEntry& e) { return (e.Flags & kFunctionFlag) != 0; }

std::string Str(const char* text) { return text ? std::string(text) : std::string(); }

// "General Purpose" -> "general-purpose"; anything but letters and digits
// becomes a single '-', so the result is always a valid fragment.
std::string Slug(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += c;
        } else if (!out.empty() && out.back() != '-') {
            out += '-';
        }
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out.empty() ? std::string("x") : out;
}

std::string EntryId(const FuncAssistEntry& e) {
    return Slug(Str(GroupCaption(e.Flags))) + "-" + Slug(Str(e.Name));
}

// The call exactly as the call editor builds it from the defaults.
std::string DefaultCall(const FuncAssistEntry& e) {
    std::string call = Str(e.Name) + "(";
    const int n = ParamCount(e.Params);
    for (int i = 0; i < n; ++i) {
        if (i > 0) call += ",";
        call += Str(e.Params[i].Default);
    }
    return call + ")";
}

// The default of the mode byte as a number, or -1 when it is not one.
long ModeDefault(const FuncAssistEntry& e) {
    if (ParamCount(e.Params) <= kModeParam) return -1;
    const char* text = e.Params[kModeParam].Default;
    if (!text || !*text) return -1;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) return -1;
    return value;
}

const char* kNav =
    "<header class=\"site\">\n"
    "<p class=\"product\"><a href=\"tnoverview.html\">Travin Workbench</a></p>\n"
    "<nav aria-label=\"Help documents\">\n"
    "<a href=\"tnoverview.html\">Overview</a>\n"
    "<a href=\"tnquickstart.html\">Quick Start</a>\n"
    "<a href=\"uiref.html\">User Interface</a>\n"
    "<a href=\"langref.html\">Language</a>\n"
    "<a href=\"funcref.html\" aria-current=\"page\">Functions</a>\n"
    "<a href=\"aci_manual.pdf\">ACI Reference (PDF)</a>\n"
    "</nav>\n"
    "</header>\n";

void AppendEntry(std::string& out, const FuncAssistEntry& e) {
    const std::string name = HtmlEscape(Str(e.Name));
    const int count = ParamCount(e.Params);
    const bool hasBits = e.Bits != nullptr && count > kModeParam;

    out += "<article class=\"entry\" id=\"" + EntryId(e) + "\">\n";
    out += "<h4><code>" + name + "</code> <span class=\"kind\">" +
           (IsFunction(e) ? "function" : "subroutine") + "</span></h4>\n";
    out += "<p class=\"description\">" + HtmlEscape(Str(e.Description)) + "</p>\n";
    if (IsFunction(e) && e.ReturnText && *e.ReturnText) {
        out += "<p class=\"returns\"><strong>Returns:</strong> " + HtmlEscape(Str(e.ReturnText)) +
               "</p>\n";
    }
    out += "<p class=\"call\">With its defaults: <code>" + HtmlEscape(DefaultCall(e)) + "</code></p>\n";

    if (count == 0) {
        out += "<p class=\"noparams\">No parameters: write the name with an empty pair of "
               "parentheses.</p>\n";
    } else {
        out += "<table class=\"params\">\n<thead><tr><th scope=\"col\">#</th>"
               "<th scope=\"col\">Default</th><th scope=\"col\">Parameter</th></tr></thead>\n<tbody>\n";
        for (int i = 0; i < count; ++i) {
            out += "<tr><td class=\"num\">" + std::to_string(i + 1) + "</td><td class=\"default\">" +
                   HtmlEscape(Str(e.Params[i].Default)) + "</td><td>" +
                   HtmlEscape(Str(e.Params[i].Description));
            if (hasBits && i == kModeParam) out += " <span class=\"note\">(bit by bit below)</span>";
            out += "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n";
    }

    if (hasBits) {
        const long mode = ModeDefault(e);
        out += "<table class=\"bits\">\n<caption>Parameter 2, bit by bit</caption>\n"
               "<thead><tr><th scope=\"col\">Bit</th><th scope=\"col\">Value</th>"
               "<th scope=\"col\">Meaning</th>";
        if (mode >= 0) out += "<th scope=\"col\">In the default</th>";
        out += "</tr></thead>\n<tbody>\n";
        std::vector<std::string> setValues;
        for (int k = 0; k < kBitCount && e.Bits[k] != nullptr; ++k) {
            const std::string text = Str(e.Bits[k]);
            const bool unused = text == "Unused";
            const bool set = mode >= 0 && ((mode >> k) & 1) != 0;
            if (set) setValues.push_back(std::to_string(1 << k));
            out += std::string("<tr") + (unused ? " class=\"unused\"" : "") + "><td class=\"num\">" +
                   std::to_string(k) + "</td><td class=\"num\">" + std::to_string(1 << k) +
                   "</td><td>" + HtmlEscape(text) + "</td>";
            if (mode >= 0) out += std::string("<td class=\"mark\">") + (set ? "set" : "") + "</td>";
            out += "</tr>\n";
        }
        out += "</tbody>\n</table>\n";
        if (mode >= 0) {
            out += "<p class=\"note\">The value is the sum of the values of the bits that are set. "
                   "The default " + std::to_string(mode);
            if (setValues.empty()) {
                out += " sets no bit.";
            } else if (setValues.size() == 1 && std::to_string(mode) == setValues[0]) {
                out += " sets one bit.";
            } else {
                out += " is ";
                for (size_t i = 0; i < setValues.size(); ++i) {
                    if (i > 0) out += " + ";
                    out += setValues[i];
                }
                out += ".";
            }
            if (mode > 255) out += " Bits above bit 7 are not shown.";
            out += "</p>\n";
        }
    }
    out += "</article>\n";
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string FuncRefPage(const FuncAssistEntry* catalogue) {
    std::vector<const FuncAssistEntry*> entries;
    for (const FuncAssistEntry* e = catalogue; e->Name && *e->Name; ++e) entries.push_back(e);

    // Module order as the assistant shows it; any other group value follows.
    struct Group {
        std::string caption;
        std::vector<const FuncAssistEntry*> members;
    };
    std::vector<Group> groups;
    for (int bit : {0x01, 0x02, 0x04, 0x08}) {
        Group g{Str(GroupCaption(bit)), {}};
        for (const auto* e : entries)
            if ((e->Flags & kGroupMask) == bit) g.members.push_back(e);
        if (!g.members.empty()) groups.push_back(std::move(g));
    }
    {
        Group other{"", {}};
        for (const auto* e : entries) {
            const int g = e->Flags & kGroupMask;
            if (g != 0x01 && g != 0x02 && g != 0x04 && g != 0x08) other.members.push_back(e);
        }
        if (!other.members.empty()) {
            other.caption = Str(GroupCaption(other.members.front()->Flags));
            groups.push_back(std::move(other));
        }
    }

    int functions = 0;
    for (const auto* e : entries) functions += IsFunction(*e) ? 1 : 0;
    const int subroutines = static_cast<int>(entries.size()) - functions;

    std::string out;
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Travin Functions and Subroutines</title>\n"
           "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n";
    out += kNav;
    out += "<main>\n<h1>Functions and Subroutines</h1>\n";
    out += "<p class=\"lead\">The board has " + std::to_string(entries.size()) +
           " built-in routines: " + std::to_string(functions) + " functions and " +
           std::to_string(subroutines) +
           " subroutines, for the board itself (General Purpose) and for the three kinds of "
           "module on its VQL network: the Orlen servo module, the Daska stepper module and "
           "the Membo I/O module.</p>\n";
    out += "<p>A <em>function</em> yields a value and is used inside an expression, for example "
           "<code>A = getpos(1)</code> or <code>print getad(1)</code>. A <em>subroutine</em> yields "
           "nothing and stands alone on its line, for example "
           "<code>svtraj(1,151,0,100000,1000,0)</code>. Arguments are separated by commas; any "
           "expression may be an argument. Most routines take the module address (1 to 8) first.</p>\n";
    out += "<p>You need not remember the parameters: right-click in the listing to open the "
           "function assistant. With a call selected it opens that call with its arguments; "
           "otherwise it lists every routine by module, and builds the call with the defaults "
           "shown on this page. For routines whose second parameter is a mode byte, it shows one "
           "check box per bit; the tables below give the same meanings. See the "
           "<a href=\"uiref.html#assistant\">User Interface</a> page for the assistant's "
           "windows and the <a href=\"langref.html\">Language Reference</a> for expressions "
           "and statements.</p>\n";

    // Names that more than one module has: the board tells them apart by the
    // module at the address given, the assistant's call parsing does not.
    std::vector<std::string> shared;
    std::string firstGroup;  // the group of every shared name's first entry, if it is one group
    bool oneFirstGroup = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string name = Str(entries[i]->Name);
        bool earlier = false, later = false;
        for (size_t j = 0; j < entries.size(); ++j) {
            if (j == i || Str(entries[j]->Name) != name) continue;
            (j < i ? earlier : later) = true;
        }
        if (later && !earlier) {
            shared.push_back(name);
            const std::string group = Str(GroupCaption(entries[i]->Flags));
            if (firstGroup.empty()) firstGroup = group;
            oneFirstGroup = oneFirstGroup && group == firstGroup;
        }
    }
    if (!shared.empty()) {
        out += "<p>";
        for (size_t i = 0; i < shared.size(); ++i) {
            if (i > 0) out += i + 1 == shared.size() ? " and " : ", ";
            out += "<code>" + HtmlEscape(shared[i]) + "</code>";
        }
        out += std::string(shared.size() == 1 ? " exists" : " exist") +
               " for more than one module. The board applies the routine that belongs to the "
               "module at the address you give; mode bits may mean different things for each "
               "module, so look up the entry of the module you drive. A selected call to one of "
               "these names opens the call editor for " +
               (oneFirstGroup ? "the " + HtmlEscape(firstGroup) + " entry" : std::string("its first entry on this page")) +
               "; for another module's entry, pick it in the assistant's menu window.</p>\n";
    }

    // Overview of every routine, laid out like the assistant's menu window.
    out += "<table class=\"index\">\n<caption>All routines by module</caption>\n<thead><tr>"
           "<th scope=\"col\">Module</th><th scope=\"col\">Functions</th>"
           "<th scope=\"col\">Subroutines</th></tr></thead>\n<tbody>\n";
    for (const Group& g : groups) {
        out += "<tr><th scope=\"row\"><a href=\"#" + Slug(g.caption) + "\">" + HtmlEscape(g.caption) +
               "</a></th>";
        for (bool wantFunction : {true, false}) {
            out += "<td>";
            bool first = true;
            for (const auto* e : g.members) {
                if (IsFunction(*e) != wantFunction) continue;
                if (!first) out += ", ";
                first = false;
                out += "<a href=\"#" + EntryId(*e) + "\"><code>" + HtmlEscape(Str(e->Name)) +
                       "</code></a>";
            }
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n";

    for (const Group& g : groups) {
        out += "<section class=\"group\" id=\"" + Slug(g.caption) + "\">\n<h2>" + HtmlEscape(g.caption) +
               "</h2>\n";
        for (bool wantFunction : {true, false}) {
            bool any = false;
            for (const auto* e : g.members) any = any || IsFunction(*e) == wantFunction;
            if (!any) continue;
            out += std::string("<h3>") + (wantFunction ? "Functions" : "Subroutines") + "</h3>\n";
            for (const auto* e : g.members)
                if (IsFunction(*e) == wantFunction) AppendEntry(out, *e);
        }
        out += "</section>\n";
    }

    out += "</main>\n<footer class=\"site\">\n<p>This page is generated from the function "
           "catalogue built into the workbench, so it always agrees with the function "
           "assistant.</p>\n</footer>\n</body>\n</html>\n";
    return out;
}

}  // namespace travin::docs
