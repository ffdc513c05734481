// The board commands of travin-cli, each on the workbench's own handlers
// for one board's session; each returns its exit code (cli/ExitCodes.h).
//
//   Transfers.cpp      download, upload
//   Run.cpp            run
//   Step.cpp           step
//   StoredValues.cpp   vars, startup-time
//   BoardControl.cpp   detect, console, stop, reset, erase, send, aci
#pragma once

#include "cli/BoardSession.h"
#include "cli/Options.h"
#include "cli/Preparation.h"

namespace travin::cli::commands {

int download(BoardSession& b, const Options& o, const Prepared& p);
int upload(BoardSession& b, const Options& o, const Prepared& p);
int run(BoardSession& b, const Options& o, const Prepared& p);
int step(BoardSession& b, const Options& o, const Prepared& p);
int vars(BoardSession& b, const Options& o, const Prepared& p);
int startupTime(BoardSession& b, const Options& o, const Prepared& p);
int detect(BoardSession& b, const Options& o, const Prepared& p);
int console(BoardSession& b, const Options& o, const Prepared& p);
int stop(BoardSession& b, const Options& o, const Prepared& p);
int reset(BoardSession& b, const Options& o, const Prepared& p);
int erase(BoardSession& b, const Options& o, const Prepared& p);
int send(BoardSession& b, const Options& o, const Prepared& p);
int aci(BoardSession& b, const Options& o, const Prepared& p);

}  // namespace travin::cli::commands
