// The assistant's message box: one OK button, no icon, and no caption of
// its own, so it carries the application's default title (the
// executable's name). Modal for the whole application.
#pragma once

#include <string>

namespace travin {

void ShowAssistMessage(const std::string& text);

}  // namespace travin
