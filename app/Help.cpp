#include "app/Help.h"

#include "app/Workbench.h"

namespace travin {

// Staged: filled in by its own issue.
void Help::TravinOverview1Click() {
}

void Help::QuickStartGuide1Click() {
}

void Help::UserInterface1Click() {
}

void Help::LanguageReference1Click() {
}

void Help::FunctionandSubroutineReference1Click() {
}

void Help::ACIReference1Click() {
}

void Help::HelpAboutExecute() {
}

}  // namespace travin
