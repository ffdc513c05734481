// download and upload: the program between a file and the board.
#include "cli/BoardCommands.h"

#include "cli/BoardProgram.h"
#include "cli/OutputFile.h"

namespace travin::cli::commands {

int download(BoardSession& b, const Options&, const Prepared& p) {
    b.screens->setLines(p.program);
    b.screens->setModified(false);
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Download"); code != kDone) return code;
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    return downloadListing(b);
}

int upload(BoardSession& b, const Options& o, const Prepared&) {
    if (const int code = b.openAndAttach(); code != kDone) return code;
    if (const int code = b.stopForOperation("Upload Program"); code != kDone) return code;
    b.screens->questionAnswer = Answer::Yes;
    const std::size_t before = b.screens->notices.size();
    if (const int code = stoppableTransfer(b, [&b] { b.wb->memory.UploadMenuClick(); },
                                           "upload stopped between pages; nothing written");
        code != kDone)
        return code;
    if (!b.wb->state.detected || b.refusedSince(before)) return kNoBoard;
    // A signal after the last page: the result is whole, but the user asked
    // to stop, so no file is replaced by it either.
    if (Terminal::interrupted()) return Terminal::stopExitCode();
    std::string text;
    for (const auto& line : b.screens->lines()) text += line + "\r\n";
    if (o.writesToFile()) {
        if (const std::string problem = writeOutputFile(o.outFile, text); !problem.empty()) {
            b.screens->ShowNotice(problem);
            return kWriteFailed;
        }
        return kDone;
    }
    b.screens->writeOutput(text);
    return kDone;
}

}  // namespace travin::cli::commands
