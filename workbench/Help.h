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
    // The same for a full path (a link in the workbench's own help window).
    // A viewer that fails after it started gives the same message.
    void OpenDocumentAt(const std::string& path);

private:
    DebuggerParts& wb;
};

}  // namespace travin
