// Where every program of the project finds its files and keeps the user's:
// the one rule, used by the workbench, the virtual board and the client.
//
//   Self-contained folder: the help documents stand next to the executable
//   (as in build/bin, or a folder unpacked anywhere). Everything stays
//   there: help, the port file "tnport", the com<n> links, the board's
//   EEPROM image.
//
//   Installed: no help next to the executable, but <exe>/../share/doc/travin
//   holds it (cmake --install, the Debian package). Help is read from there;
//   the port file and the com<n> links live in $XDG_CONFIG_HOME/travin
//   (default ~/.config/travin), the board's EEPROM image in
//   $XDG_STATE_HOME/travin (default ~/.local/state/travin). An empty or
//   relative variable counts as unset. Nothing is written into the
//   installation itself.
//
// A folder with neither layout is treated as self-contained, so a build
// folder whose documents are not built yet behaves as it always did.
//
// Every folder named here ends with a separator. The per-user folders are
// created only when something is written into them (ensureFolder).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace travin {

struct Locations {
    bool installed = false;
    std::string executableFolder;
    std::string helpFolder;
    // The port file and the com<n> device links.
    std::string configFolder;
    // The virtual board's EEPROM image.
    std::string stateFolder;

    // Everything in one folder: the self-contained layout at `folder`.
    static Locations allIn(std::string folder);
};

// Reads one environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The help document whose presence marks a folder as holding the help.
inline constexpr const char* kHelpMarkerDocument = "tnoverview.html";
// Where an installation keeps the help, relative to its executable folder.
inline constexpr const char* kInstalledHelpFolder = "../share/doc/travin/";

// The rule itself, for an executable in `executableFolder`, looking at the
// file system for the help documents and at `environment` for the XDG
// variables and HOME.
Locations locateFiles(const std::string& executableFolder, const EnvironmentLookup& environment);

// The rule for the running program: its own executable's folder and the
// process environment (HOME falling back to the password database).
Locations locateFilesOfThisProgram();

// The folder of the running executable, ending in a separator.
std::string runningExecutableFolder();

// Creates `folder` and its missing parents. Returns an empty string when the
// folder exists afterwards, else one sentence naming the folder and the
// reason, for the user.
std::string ensureFolder(const std::string& folder);

}  // namespace travin
