#include "app/QtNotices.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>

#include "app/SingleByteQt.h"

namespace travin {

void QtNotices::ShowNotice(const std::string& text) {
    if (beforeBox) beforeBox();
    // No owner window: modal for the whole application, and raised so it is
    // not lost behind the main window.
    QMessageBox box(QMessageBox::NoIcon, QString(), fromCorePath(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.raise();
    box.activateWindow();
    box.exec();
}

Answer QtNotices::askYesNoCancel(const std::string& title, const std::string& text) {
    return ask(title, text, false);
}

Answer QtNotices::askYesNoCancelDefaultNo(const std::string& title, const std::string& text) {
    return ask(title, text, true);
}

Answer QtNotices::ask(const std::string& title, const std::string& text, bool defaultNo) {
    if (beforeBox) beforeBox();
    QMessageBox box(QMessageBox::NoIcon, title.empty() ? QApplication::applicationName() : fromSingleByte(title),
                    fromCorePath(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setWindowModality(Qt::ApplicationModal);
    if (defaultNo) box.setDefaultButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

bool QtNotices::inputBox(const std::string& caption, const std::string& prompt, std::string& answer) {
    return textBox(caption, prompt, answer, 0);
}

bool QtNotices::inputBoxOfAtMost(const std::string& caption, const std::string& prompt, std::string& answer,
                                 std::size_t maxCharacters) {
    return textBox(caption, prompt, answer, static_cast<int>(std::min<std::size_t>(maxCharacters, 32767)));
}

bool QtNotices::textBox(const std::string& caption, const std::string& prompt, std::string& answer,
                        int maxCharacters) {
    if (beforeBox) beforeBox();
    QInputDialog dialog;
    dialog.setWindowTitle(fromSingleByte(caption));
    dialog.setLabelText(fromSingleByte(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(fromSingleByte(answer));
    if (auto* line = dialog.findChild<QLineEdit*>()) {
        // The answer is single-byte text on one line: what the set cannot
        // hold is refused, and a paste keeps its first line (a line break
        // would reach the board inside the answer).
        line->setValidator(new SingleByteLineValidator(line));
        // A character past the limit is refused as it is typed, rather than
        // cut off unseen after OK.
        if (maxCharacters > 0) line->setMaxLength(maxCharacters);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    answer = toSingleByte(dialog.textValue());
    return true;
}

void QtNotices::showErrorBox(const std::string& text) {
    if (beforeBox) beforeBox();
    // The application's title is never set, so this is the executable's name.
    QMessageBox::critical(nullptr, QApplication::applicationName(), fromCorePath(text));
}

}  // namespace travin
