// The listing's Qt mouse button as the assistant's core sees it.
#pragma once

#include "assistant/FuncAssist.h"

#include <Qt>

namespace travin {

inline MouseButton ToAssistButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Other;
    }
}

}  // namespace travin
