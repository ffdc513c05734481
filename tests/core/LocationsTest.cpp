// The location rule: the self-contained folder against the installed
// layout, the XDG variables set, unset, empty or relative, and per-user
// folders that cannot be made; then the port file of an installed
// workbench, which lives in the configuration folder, and every file of an
// installation whose folders are named outside ASCII.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "core/Locations.h"
#include "core/SourceFileIo.h"
#include "tests/support/FakeScreens.h"
#include "tests/support/TestFolder.h"

namespace {

namespace fs = std::filesystem;
using travin::Locations;

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

travin::EnvironmentLookup environment(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

enum class Layout { SelfContained, Installed, Both, Neither };

struct Case {
    const char* name;
    Layout layout;
    std::map<std::string, std::string> env;
    bool installed;
    // Relative to the test folder; "" for the executable's folder.
    const char* help;
    const char* config;
    const char* state;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class LocationRule : public ::testing::TestWithParam<Case> {};

TEST_P(LocationRule, PutsEachFileWhereTheLayoutSays) {
    const Case& c = GetParam();
    const fs::path root = travin::testing::freshTestFolder("travin-locations");
    const fs::path bin = root / "prefix" / "bin";
    fs::create_directories(bin);
    if (c.layout == Layout::SelfContained || c.layout == Layout::Both) touch(bin / "tnoverview.html");
    if (c.layout == Layout::Installed || c.layout == Layout::Both)
        touch(root / "prefix/share/doc/travin/tnoverview.html");

    std::map<std::string, std::string> env = c.env;
    for (auto& [name, value] : env)
        if (!value.empty() && value[0] == '@') value = (root / value.substr(1)).string();
    const Locations where = travin::locateFiles(bin.string(), environment(env));

    auto expected = [&](const char* relative) {
        return *relative ? (root / relative).string() + "/" : bin.string() + "/";
    };
    EXPECT_EQ(where.installed, c.installed);
    EXPECT_EQ(where.executableFolder, bin.string() + "/");
    EXPECT_EQ(where.helpFolder, expected(c.help));
    EXPECT_EQ(where.configFolder, expected(c.config));
    EXPECT_EQ(where.stateFolder, expected(c.state));
}

const std::map<std::string, std::string> kHomeOnly{{"HOME", "@home"}};

INSTANTIATE_TEST_SUITE_P(
    Layouts, LocationRule,
    ::testing::Values(
        Case{"SelfContainedKeepsAllNextToTheExecutable", Layout::SelfContained,
             {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "@cfg"}, {"XDG_STATE_HOME", "@st"}}, false, "", "", ""},
        Case{"HelpNextToTheExecutableWinsOverAnInstalledTree", Layout::Both, kHomeOnly, false, "", "", ""},
        Case{"NeitherLayoutStaysSelfContained", Layout::Neither, kHomeOnly, false, "", "", ""},
        Case{"InstalledXdgUnset", Layout::Installed, kHomeOnly, true, "prefix/share/doc/travin",
             "home/.config/travin", "home/.local/state/travin"},
        Case{"InstalledXdgSet", Layout::Installed,
             {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "@cfg"}, {"XDG_STATE_HOME", "@st"}}, true,
             "prefix/share/doc/travin", "cfg/travin", "st/travin"},
        Case{"InstalledXdgEmptyCountsAsUnset", Layout::Installed,
             {{"HOME", "@home"}, {"XDG_CONFIG_HOME", ""}, {"XDG_STATE_HOME", ""}}, true,
             "prefix/share/doc/travin", "home/.config/travin", "home/.local/state/travin"},
        Case{"InstalledXdgRelativeCountsAsUnset", Layout::Installed,
             {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_STATE_HOME", "./st"}}, true,
             "prefix/share/doc/travin", "home/.config/travin", "home/.local/state/travin"},
        Case{"InstalledOnlyConfigSet", Layout::Installed, {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "@cfg"}}, true,
             "prefix/share/doc/travin", "cfg/travin", "home/.local/state/travin"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EnsureFolder, MakesMissingParentsAndNamesAFolderThatCannotBeMade) {
    const fs::path root = travin::testing::freshTestFolder("travin-locations");
    const std::string nested = (root / "a/b/travin").string() + "/";
    EXPECT_EQ(travin::ensureFolder(nested), "");
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_EQ(travin::ensureFolder(nested), "");   // already there

    // A file where a parent folder should be: root may write anywhere, so
    // this is the failure a test can make for every user.
    touch(root / "blocked");
    const std::string blocked = (root / "blocked/travin").string() + "/";
    const std::string error = travin::ensureFolder(blocked);
    EXPECT_NE(error.find(blocked), std::string::npos) << error;
    touch(root / "plainfile");
    EXPECT_NE(travin::ensureFolder((root / "plainfile").string()), "");
}

// The installed workbench's port file: into the configuration folder, made
// on first use, and nothing next to the executable.
class InstalledPortFile : public ::testing::Test {
protected:
    void SetUp() override {
        root = travin::testing::freshTestFolder("travin-locations");
        fs::create_directories(root / "prefix/bin");
        touch(root / "prefix/share/doc/travin/tnoverview.html");
    }
    Locations installedWith(const std::string& configHome) {
        return travin::locateFiles((root / "prefix/bin").string(),
                                   environment({{"HOME", (root / "home").string()}, {"XDG_CONFIG_HOME", configHome}}));
    }
    fs::path root;
};

TEST_F(InstalledPortFile, IsWrittenIntoTheConfigFolderMadeOnFirstUse) {
    travin::testing::FakeBench bench(installedWith((root / "cfg").string()));
    bench.wb->state.openPort = 4;
    bench.wb->port.WritePortFile();
    std::ifstream in(root / "cfg/travin/tnport");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "4");
    EXPECT_FALSE(fs::exists(root / "prefix/bin/tnport"));
    EXPECT_TRUE(bench.notices.notices.empty());

    travin::testing::FakeBench again(installedWith((root / "cfg").string()));
    again.wb->port.ReadPortFile();
    EXPECT_EQ(again.wb->state.selectedPort, 4);
}

TEST_F(InstalledPortFile, AConfigFolderThatCannotBeMadeIsReportedOnceAndTheProgramGoesOn) {
    touch(root / "cfg");   // a file where the folder should be
    travin::testing::FakeBench bench(installedWith((root / "cfg").string()));
    bench.wb->port.WritePortFile();
    bench.wb->port.WritePortFile();   // a second close query
    ASSERT_EQ(bench.notices.notices.size(), 1u);
    EXPECT_NE(bench.notices.notices[0].find((root / "cfg/travin/tnport").string()), std::string::npos)
        << bench.notices.notices[0];
    EXPECT_FALSE(fs::exists(root / "prefix/bin/tnport"));
}

TEST_F(InstalledPortFile, SelfContainedFolderStillSkipsAnUnwritableFileSilently) {
    fs::create_directories(root / "self/tnport");   // a folder in the file's place
    travin::testing::FakeBench bench((root / "self").string() + "/");
    bench.wb->port.WritePortFile();
    EXPECT_TRUE(bench.notices.notices.empty());
}

// An installation under a folder whose name is not ASCII, with a
// configuration folder of the same kind: the help is found, the port file
// goes there and comes back, and a listing with such a name saves and
// opens. Paths travel as UTF-8 text throughout.
TEST(NonAsciiFolder, HoldsTheHelpThePortFileAndAListing) {
    // "Prüfstand 試験" and "Einstellungen été" in UTF-8.
    const std::string root =
        travin::testing::freshTestFolder("travin-locations").string() + "/Pr\xC3\xBC" "fstand \xE8\xA9\xA6\xE9\xA8\x93";
    const std::string config = root + "/Einstellungen \xC3\xA9t\xC3\xA9";
    fs::create_directories(fs::path(root + "/prefix/bin"));
    touch(fs::path(root + "/prefix/share/doc/travin/tnoverview.html"));

    const Locations where =
        travin::locateFiles(root + "/prefix/bin", environment({{"HOME", root}, {"XDG_CONFIG_HOME", config}}));
    ASSERT_TRUE(where.installed);
    EXPECT_EQ(where.helpFolder, root + "/prefix/share/doc/travin/");
    EXPECT_EQ(where.configFolder, config + "/travin/");

    travin::testing::FakeBench bench(where);
    bench.wb->state.openPort = 6;
    bench.wb->port.WritePortFile();
    EXPECT_TRUE(bench.notices.notices.empty());
    EXPECT_EQ(travin::testing::readBytes(fs::path(config + "/travin/tnport")), "6");
    travin::testing::FakeBench again(where);
    again.wb->port.ReadPortFile();
    EXPECT_EQ(again.wb->state.selectedPort, 6);

    const std::string listing = where.configFolder + "\xC3\x9C" "bung.tv";
    ASSERT_TRUE(travin::writeSourceFile(listing, {"10 PRINT 1", "20 END"}));
    std::vector<std::string> lines;
    ASSERT_TRUE(travin::readSourceFile(listing, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"10 PRINT 1", "20 END", ""}));
}

}  // namespace
