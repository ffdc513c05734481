// gen_funcref OUTPUT.html
//
// Writes the function reference page from the catalogue compiled into the
// workbench. Run at build time; the page lands next to the executables.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "assistant/FuncAssistCatalogue.h"
#include "docs/FuncRefPage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_funcref OUTPUT.html\n");
        return 2;
    }

    // A catalogue whose sentinel is not where the count says would give a page
    // that silently lacks entries or shows garbage; stop the build instead.
    int walked = 0;
    while (walked <= travin::FuncAssistEntryCount && travin::FuncAssistCatalogue[walked].Name &&
           *travin::FuncAssistCatalogue[walked].Name)
        ++walked;
    if (walked != travin::FuncAssistEntryCount) {
        std::fprintf(stderr, "gen_funcref: the catalogue holds %d entries before its sentinel, expected %d\n",
                     walked, travin::FuncAssistEntryCount);
        return 1;
    }

    const std::string page = travin::docs::FuncRefPage(travin::FuncAssistCatalogue);

    // Write beside the target and rename, so an interrupted build never leaves
    // half a page that looks up to date.
    const std::filesystem::path out = argv[1];
    std::filesystem::path tmp = out;
    tmp += ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file.write(page.data(), static_cast<std::streamsize>(page.size()));
        file.close();
        if (!file) {
            std::fprintf(stderr, "gen_funcref: cannot write %s\n", tmp.string().c_str());
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, out, ec);
    if (ec) {
        std::fprintf(stderr, "gen_funcref: cannot rename %s to %s: %s\n", tmp.string().c_str(),
                     out.string().c_str(), ec.message().c_str());
        return 1;
    }
    return 0;
}
