#include "core/Locations.h"

#include "core/FilePath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace travin {

namespace fs = std::filesystem;

namespace {

std::string withSeparator(std::string folder) {
    if (folder.empty()) return folder;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

bool holdsHelp(const std::string& folder) {
    std::error_code ignored;
    return fs::is_regular_file(filePath(folder + kHelpMarkerDocument), ignored);
}

// An XDG base folder: the variable when it names an absolute path, else the
// default under the home folder.
std::string baseFolder(const EnvironmentLookup& environment, const char* variable, const char* defaultUnderHome) {
    if (const auto value = environment(variable); value && filePath(*value).is_absolute())
        return withSeparator(*value);
    const auto home = environment("HOME");
    return withSeparator(withSeparator(home ? *home : std::string()) + defaultUnderHome);
}

}  // namespace

Locations Locations::allIn(std::string folder) {
    folder = withSeparator(std::move(folder));
    return Locations{false, folder, folder, folder, folder};
}

Locations locateFiles(const std::string& executableFolder, const EnvironmentLookup& environment) {
    const std::string exe = withSeparator(executableFolder);
    const std::string installedHelp = exe + kInstalledHelpFolder;
    if (holdsHelp(exe) || !holdsHelp(installedHelp)) return Locations::allIn(exe);

    Locations installed;
    installed.installed = true;
    installed.executableFolder = exe;
    // The lexical form, so paths shown to the user carry no "bin/../".
    installed.helpFolder = withSeparator(pathText(filePath(installedHelp).lexically_normal()));
    installed.configFolder = baseFolder(environment, "XDG_CONFIG_HOME", ".config") + "travin/";
    installed.stateFolder = baseFolder(environment, "XDG_STATE_HOME", ".local/state") + "travin/";
    return installed;
}

Locations locateFilesOfThisProgram() {
    return locateFiles(runningExecutableFolder(), [](const std::string& name) -> std::optional<std::string> {
#if defined(_WIN32)
        // The wide environment, since the narrow one is in the ANSI code
        // page; every variable read here names a folder. The home folder
        // there is the user's profile.
        const std::wstring wideName(name.begin(), name.end());
        const wchar_t* value = ::_wgetenv(wideName.c_str());
        if ((!value || !*value) && name == "HOME") value = ::_wgetenv(L"USERPROFILE");
        if (value && *value) return pathText(fs::path(value));
#else
        const char* value = std::getenv(name.c_str());
        if (value && *value) return std::string(value);
        if (name == "HOME") {
            if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return std::string(entry->pw_dir);
        }
#endif
        return std::nullopt;
    });
}

std::string runningExecutableFolder() {
    std::error_code error;
#if defined(_WIN32)
    // The wide form: the narrow one gives '?' for letters outside the ANSI
    // code page. A name that fills the buffer may have been cut, so the
    // buffer grows past MAX_PATH and the name is asked for again.
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    while (length == buffer.size() && buffer.size() < 32768) {
        buffer.resize(buffer.size() * 2);
        length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    const fs::path exe = length && length < buffer.size() ? fs::path(buffer.substr(0, length)) : fs::path();
#else
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
#endif
    if (error || exe.empty()) return "./";
    return withSeparator(pathText(exe.parent_path()));
}

std::string ensureFolder(const std::string& folder) {
    std::error_code error;
    const fs::path path = filePath(folder);
    fs::create_directories(path, error);
    if (!error && fs::is_directory(path, error)) return {};
    return "The folder " + folder + " cannot be created (" +
           (error ? error.message() : std::string("a file of that name is in the way")) + ").";
}

}  // namespace travin
