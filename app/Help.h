// The Help menu's documents and the About box.
#pragma once

#include <string>

namespace travin {

class Workbench;

class Help {
public:
    explicit Help(Workbench& workbench) : wb(workbench) {}

    void TravinOverview1Click();
    void QuickStartGuide1Click();
    void UserInterface1Click();
    void LanguageReference1Click();
    void FunctionandSubroutineReference1Click();
    void ACIReference1Click();
    // Shows the About box modally.
    void HelpAboutExecute();

    // Opens one document from the executable's folder with the system's
    // viewer; "Browser or <path> not found" when that fails.
    void OpenHelpDocument(const std::string& name);

private:
    Workbench& wb;
};

}  // namespace travin
