// The Help menu's documents and the About box.
#pragma once

#include <string>
#include "debugger/DebuggerParts.h"

namespace travin {


class Help {
public:
    explicit Help(DebuggerParts& parts) : wb(parts) {}

    void TravinOverview1Click();
    void QuickStartGuide1Click();
    void UserInterface1Click();
    void LanguageReference1Click();
    void FunctionandSubroutineReference1Click();
    void ACIReference1Click();
    // Shows the About box modally.
    void HelpAboutExecute();

    // Opens one document from the executable's folder with the system's
    // viewer; "Browser or <path> not found" when that fails ("PDF viewer
    // or <path> not found" for the manual).
    void OpenHelpDocument(const std::string& name);

private:
    DebuggerParts& wb;
};

}  // namespace travin
