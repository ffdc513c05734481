// Fonts and the label look shared by the assistant's two windows.
#pragma once

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QString>

namespace travin {

// The layouts were drawn for MS Sans Serif, a narrow face. Where it is
// missing, a narrow face with like metrics keeps the texts inside their
// places (a regular sans face is some 20% wider and runs texts together).
inline QFont AssistFont(int pixels, bool bold = false, bool underline = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

// Neither window binds Enter or Escape to a button: returns true when the
// key was one of them and has been swallowed.
inline bool SwallowDialogKeys(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return true;
    default:
        return false;
    }
}

// A label of the fixed layout: its place and its width are the layout's,
// whatever text it shows; its height is the font's.
inline QLabel* PlacedLabel(QWidget* parent, const QString& text, int x, int y, int width, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setGeometry(x, y, width, QFontMetrics(font).height());
    return label;
}

// Places a dialog in the centre of the window that owns it, each time it is
// shown; without an owner Qt centres it on the screen.
inline void CentreOnOwner(QDialog* dialog)
{
    QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    if (!owner)
        return;
    const QRect frame = dialog->frameGeometry();
    dialog->move(owner->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
}

}  // namespace travin
