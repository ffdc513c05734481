// The assistant's catalogue (what the user reads) and the language's
// built-in table (what the parser and the board enforce) describe the same
// 44 built-ins: same names, same kind, same parameter count, same module
// group, and every range the catalogue states is the range the board checks.
#include "assistant/FuncAssistCatalogue.h"
#include "lang/Builtins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <regex>
#include <set>
#include <string>

namespace travin::lang {
namespace {

struct Range {
    long long min;
    long long max;
};

long long number(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return std::stoll(text);
}

// The range a parameter's description states: "(1 - 8)", "(0 to 32,767)",
// "(1-250)", or a list of meanings such as "(0=output, 1=input)".
std::optional<Range> statedRange(const std::string& description) {
    static const std::regex span(R"(\(\s*([-+]?\d[\d,]*)\s*(?:-|to)\s*([-+]?\d[\d,]*))");
    std::smatch m;
    if (std::regex_search(description, m, span)) return Range{number(m[1]), number(m[2])};
    static const std::regex meaning(R"((?:\(|,\s*)(\d+)=)");
    std::optional<Range> r;
    for (auto it = std::sregex_iterator(description.begin(), description.end(), meaning); it != std::sregex_iterator();
         ++it) {
        const long long v = std::stoll((*it)[1]);
        r = r ? Range{std::min(r->min, v), std::max(r->max, v)} : Range{v, v};
    }
    return r;
}

TEST(CatalogueAndTable, TheRangeReaderReadsTheCatalogueForms) {
    EXPECT_EQ(statedRange("Module address (1 - 8)")->max, 8);
    EXPECT_EQ(statedRange("Integral gain (0 to 32,767)")->max, 32767);
    EXPECT_EQ(statedRange("Goal Position in encoder counts (-2147483,648 to +2147483647)")->min, -2147483648LL);
    EXPECT_EQ(statedRange("Minimum stepping speed (1-250)")->min, 1);
    EXPECT_EQ(statedRange("reset (1=reset num errors to 0, 0=do not reset)")->max, 1);
    EXPECT_FALSE(statedRange("Data to store"));
}

TEST(CatalogueAndTable, SameNamesBothWays) {
    std::set<std::string> catalogue, table;
    for (int i = 0; i < FuncAssistEntryCount; ++i) catalogue.insert(FuncAssistCatalogue[i].Name);
    for (const Builtin& b : builtins()) table.insert(b.name);
    EXPECT_EQ(catalogue, table);
    EXPECT_EQ(table.size(), builtins().size()) << "a name twice in the table";
}

TEST(CatalogueAndTable, AgreeFieldByField) {
    int rangesCompared = 0;
    for (int i = 0; i < FuncAssistEntryCount; ++i) {
        const FuncAssistEntry& e = FuncAssistCatalogue[i];
        SCOPED_TRACE(std::string(e.Name) + " (entry " + std::to_string(i) + ")");
        const Builtin* b = findBuiltin(e.Name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->function, (e.Flags & 0x80) != 0);
        ASSERT_EQ(b->arguments(), ParamCount(e.Params));

        const std::string group = GroupCaption(e.Flags);
        switch (b->target) {
        case BuiltinTarget::None:
        case BuiltinTarget::AnyModule: EXPECT_EQ(group, "General Purpose"); break;
        case BuiltinTarget::Motor: EXPECT_TRUE(group == "Orlen" || group == "Daska"); break;
        case BuiltinTarget::Orlen: EXPECT_EQ(group, "Orlen"); break;
        case BuiltinTarget::Daska: EXPECT_EQ(group, "Daska"); break;
        case BuiltinTarget::Membo: EXPECT_EQ(group, "Membo"); break;
        }
        // A module's built-in takes the module's address first, and only those do.
        const bool addressFirst = b->arguments() > 0 && std::string(e.Params[0].Description).rfind("Module address", 0) == 0;
        EXPECT_EQ(addressFirst, b->target != BuiltinTarget::None);

        for (int p = 0; p < b->arguments(); ++p) {
            SCOPED_TRACE(e.Params[p].Description);
            const BuiltinParam& param = b->params[static_cast<std::size_t>(p)];
            if (const std::optional<Range> stated = statedRange(e.Params[p].Description)) {
                EXPECT_EQ(param.min, stated->min);
                EXPECT_EQ(param.max, stated->max);
                ++rangesCompared;
            } else if (p == 1 && e.Bits != nullptr) {
                // The mode byte, described bit by bit.
                EXPECT_EQ(param.min, 0);
                EXPECT_EQ(param.max, 255);
            } else {
                EXPECT_FALSE(param.checked()) << "the table limits a value the catalogue leaves open";
            }
            // Every default the assistant offers is one the board takes.
            const long long def = std::stoll(e.Params[p].Default);
            EXPECT_GE(def, param.min);
            EXPECT_LE(def, param.max);
        }
    }
    EXPECT_GT(rangesCompared, 60);
}

TEST(CatalogueAndTable, SharedServoAndStepperNamesAreOneEntryForBoth) {
    for (int i = 0; i < FuncAssistEntryCount; ++i) {
        const FuncAssistEntry& e = FuncAssistCatalogue[i];
        const bool inOrlen = GroupCaption(e.Flags) == std::string("Orlen");
        bool alsoInDaska = false;
        for (int j = 0; j < FuncAssistEntryCount; ++j)
            alsoInDaska |= GroupCaption(FuncAssistCatalogue[j].Flags) == std::string("Daska") &&
                           std::string(FuncAssistCatalogue[j].Name) == e.Name;
        if (inOrlen) EXPECT_EQ(findBuiltin(e.Name)->target == BuiltinTarget::Motor, alsoInDaska) << e.Name;
    }
}

}  // namespace
}  // namespace travin::lang
