// Modal boxes of the workbench, with Qt's message and input boxes.
#pragma once

#include <functional>

#include "core/ScreenInterfaces.h"

namespace travin {

class QtNotices : public Notices {
public:
    // Runs before any box opens (the console is flushed there, so the user
    // sees what led to the box).
    std::function<void()> beforeBox;

    void ShowNotice(const std::string& text) override;
    Answer askYesNoCancel(const std::string& title, const std::string& text) override;
    Answer askYesNoCancelDefaultNo(const std::string& title, const std::string& text) override;
    bool inputBox(const std::string& caption, const std::string& prompt, std::string& answer) override;
    bool inputBoxOfAtMost(const std::string& caption, const std::string& prompt, std::string& answer,
                          std::size_t maxCharacters) override;
    void showErrorBox(const std::string& text) override;

private:
    Answer ask(const std::string& title, const std::string& text, bool defaultNo);
    // maxCharacters 0: no limit.
    bool textBox(const std::string& caption, const std::string& prompt, std::string& answer, int maxCharacters);
};

}  // namespace travin
