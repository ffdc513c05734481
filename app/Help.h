// The Help menu's documents and the About box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
    void HelpAboutExecute();

private:
    Workbench& wb;
};

}  // namespace travin
