// The catalogue's shape: the order the menu, the parser and the generated
// function reference depend on, and the two helpers.
#include "assistant/FuncAssistCatalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace travin;

namespace {

TEST(FuncAssistCatalogue, WalkingToTheSentinelVisitsExactly44Entries)
{
    int n = 0;
    while (FuncAssistCatalogue[n].Name[0] != '\0') {
        ASSERT_LT(n, FuncAssistEntryCount) << "sentinel missing";
        ++n;
    }
    EXPECT_EQ(n, 44);
    EXPECT_EQ(FuncAssistCatalogue[44].Params[0].Default[0], '\0');
}

TEST(FuncAssistCatalogue, GroupsAndKindsFollowTheFixedOrder)
{
    // Index ranges of functions and subroutines per group, in table order.
    struct Range { int first, last, flags; };
    const Range ranges[] = {{0, 8, 0x81},   {9, 12, 0x41},  {13, 18, 0x82}, {19, 25, 0x42},
                            {26, 29, 0x84}, {30, 36, 0x44}, {37, 39, 0x88}, {40, 43, 0x48}};
    for (const Range& r : ranges)
        for (int i = r.first; i <= r.last; ++i)
            EXPECT_EQ(FuncAssistCatalogue[i].Flags, r.flags) << "entry " << i;
}

TEST(FuncAssistCatalogue, SharedNamesHaveTheOrlenEntryFirst)
{
    const char* shared[] = {"getad", "gethome", "getpos", "homing", "resetpos", "stopmot", "waitmove"};
    for (const char* name : shared) {
        int first = -1, count = 0;
        for (int i = 0; i < FuncAssistEntryCount; ++i)
            if (std::strcmp(FuncAssistCatalogue[i].Name, name) == 0) {
                if (first < 0) first = i;
                ++count;
            }
        EXPECT_EQ(count, 2) << name;
        ASSERT_GE(first, 0) << name;
        EXPECT_EQ(GroupCaption(FuncAssistCatalogue[first].Flags), std::string("Orlen")) << name;
    }
}

TEST(FuncAssistCatalogue, ReturnTextExactlyForFunctions)
{
    for (int i = 0; i < FuncAssistEntryCount; ++i) {
        const FuncAssistEntry& e = FuncAssistCatalogue[i];
        if (e.Flags & 0x80)
            EXPECT_NE(e.ReturnText[0], '\0') << e.Name;
        else
            EXPECT_STREQ(e.ReturnText, "") << e.Name;
        // Exactly one of the kind bits.
        EXPECT_NE((e.Flags & 0x80) != 0, (e.Flags & 0x40) != 0) << e.Name;
    }
    EXPECT_STREQ(FuncAssistCatalogue[4].ReturnText, "0=Orlen, 2=Membo, 3=Daska");
    // Double blanks belong to the texts.
    EXPECT_STREQ(FuncAssistCatalogue[29].ReturnText, "Daska Inputs Byte (see Daska  data sheet)");
    EXPECT_STREQ(FuncAssistCatalogue[38].ReturnText, "Inputs value  (see Membo data sheet)");
    EXPECT_STREQ(FuncAssistCatalogue[39].ReturnText, "Timer/counter value  (0 to +2,147,483,647)");
}

TEST(FuncAssistCatalogue, BitListsBelongToTheModeByteEntries)
{
    const std::set<int> withBits = {19, 21, 24, 30, 32, 33, 34, 35, 43};
    for (int i = 0; i < FuncAssistEntryCount; ++i) {
        const FuncAssistEntry& e = FuncAssistCatalogue[i];
        if (!withBits.count(i)) {
            EXPECT_EQ(e.Bits, nullptr) << e.Name;
            continue;
        }
        ASSERT_NE(e.Bits, nullptr) << e.Name;
        for (int k = 0; k < 8; ++k)
            EXPECT_NE(e.Bits[k], nullptr) << e.Name << " bit " << k;
        EXPECT_EQ(e.Bits[8], nullptr) << e.Name;
        EXPECT_GE(ParamCount(e.Params), 2) << e.Name;
    }
    EXPECT_STREQ(FuncAssistCatalogue[30].Bits[0], "Home of Limit 1");
    EXPECT_STREQ(FuncAssistCatalogue[19].Bits[0], "Home on LIMIT 1");
}

TEST(GroupCaption, MapsTheGroupBitsOfTheLowByte)
{
    EXPECT_STREQ(GroupCaption(0x81), "General Purpose");
    EXPECT_STREQ(GroupCaption(0x42), "Orlen");
    EXPECT_STREQ(GroupCaption(0x84), "Daska");
    EXPECT_STREQ(GroupCaption(0x48), "Membo");
    EXPECT_STREQ(GroupCaption(0x00), "Unknown");
    EXPECT_STREQ(GroupCaption(0x03), "Unknown");
    EXPECT_STREQ(GroupCaption(0x40), "Unknown");
    // Above the low byte nothing counts.
    EXPECT_STREQ(GroupCaption(0x7F08), "Membo");
}

TEST(ParamCount, CountsTheCatalogueLists)
{
    auto count = [](int i) { return ParamCount(FuncAssistCatalogue[i].Params); };
    EXPECT_EQ(count(0), 0);   // getchar
    EXPECT_EQ(count(2), 0);   // getnminit
    EXPECT_EQ(count(9), 0);   // nmreset
    EXPECT_EQ(count(15), 1);  // getpos
    EXPECT_EQ(count(23), 11); // svgain
    EXPECT_EQ(count(24), 6);  // svtraj
    EXPECT_EQ(count(34), 6);  // stparam
    EXPECT_EQ(count(35), 5);  // sttraj
}

TEST(ParamCount, StopsAtElevenAndAtAnEmptyDefault)
{
    FuncAssistParam twelve[12];
    for (auto& p : twelve) p = {"1", "x"};
    EXPECT_EQ(ParamCount(twelve), 11);

    const FuncAssistParam gap[] = {{"1", "a"}, {"", "b"}, {"3", "c"}, {"", ""}};
    EXPECT_EQ(ParamCount(gap), 1);
}

TEST(FuncAssistCatalogue, OddSpellingsAndSpacingAreTheBoardsOwn)
{
    // Texts that look like typos are the board documentation's wording and
    // must not be "corrected".
    EXPECT_STREQ(FuncAssistCatalogue[6].Description, "Returns contents of processer RAM");
    EXPECT_STREQ(FuncAssistCatalogue[10].Description, "Writes data to processor RAM");
    EXPECT_STREQ(FuncAssistCatalogue[21].Description, "Stop motor using specifed mode, and enable/disable amplifier");
    EXPECT_STREQ(FuncAssistCatalogue[32].Description, "Stop motor using specifed mode, and enable/disable amplifier");
    EXPECT_STREQ(FuncAssistCatalogue[19].Description, "Set homing parameters");
    EXPECT_STREQ(FuncAssistCatalogue[1].Params[0].Description, "reset (1=reset num errors to 0, 0=do not reset)");
    EXPECT_STREQ(FuncAssistCatalogue[23].Params[3].Description, "Integral gain (0 to 32,767)");
    EXPECT_STREQ(FuncAssistCatalogue[24].Params[2].Description,
                 "Goal Position in encoder counts (-2147483,648 to +2147483647)");
    EXPECT_STREQ(FuncAssistCatalogue[34].Params[1].Description, "Mode");
    EXPECT_STREQ(FuncAssistCatalogue[34].Params[2].Description, "Minimum stepping speed (1-250)");
    EXPECT_STREQ(FuncAssistCatalogue[30].Bits[1], "Home on Limit 2");
    EXPECT_STREQ(FuncAssistCatalogue[30].Bits[3], "Home on HOME SWITCH");
}

TEST(FuncAssistCatalogue, MostEntriesShareTheTwoCommonLists)
{
    // getstat's list is the module-address list; getchar's the empty one.
    const FuncAssistParam* moduleAddress = FuncAssistCatalogue[3].Params;
    const FuncAssistParam* none = FuncAssistCatalogue[0].Params;
    EXPECT_STREQ(moduleAddress[0].Default, "1");
    EXPECT_STREQ(moduleAddress[0].Description, "Module address (1 - 8)");
    EXPECT_STREQ(moduleAddress[1].Default, "");
    for (int i : {4, 5, 11, 13, 14, 15, 16, 17, 18, 20, 22, 25, 26, 27, 28, 29, 31, 36, 38, 39})
        EXPECT_EQ(FuncAssistCatalogue[i].Params, moduleAddress) << FuncAssistCatalogue[i].Name;
    for (int i : {2, 9})
        EXPECT_EQ(FuncAssistCatalogue[i].Params, none) << FuncAssistCatalogue[i].Name;
}

TEST(FuncAssistCatalogue, SvgainDefaultsInOrder)
{
    const char* expected[] = {"1", "100", "1000", "0", "0", "255", "0", "2000", "1", "1", "1"};
    const FuncAssistParam* p = FuncAssistCatalogue[23].Params;
    for (int i = 0; i < 11; ++i)
        EXPECT_STREQ(p[i].Default, expected[i]) << "position " << i;
}

}  // namespace
