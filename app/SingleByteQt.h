// Single-byte text in the Qt widgets: every conversion between the core's
// bytes and a widget's characters goes through here, with the one
// character set of core/SingleByteText.h.
//
// A character the set cannot hold is refused where it enters: the listing,
// the console and every line edit that takes single-byte text check what is
// typed, pasted or dropped, and the refusal is told in a short note (the
// main window shows it in its status bar).
#pragma once

#include <QString>
#include <QValidator>
#include <functional>
#include <string>

namespace travin {

QString fromSingleByte(const std::string& bytes);
// The text as bytes. A character outside the set becomes '?' in `bytes`;
// the answer is then false and `firstRefused` (when given) holds its index.
bool toSingleByte(const QString& text, std::string& bytes, qsizetype* firstRefused = nullptr);
std::string toSingleByte(const QString& text);
// The index of the first character outside the set, or -1.
qsizetype firstOutsideSingleByte(const QString& text);

// The note telling that a character was refused, e.g. for "→".
QString refusedCharacterNote(const QString& text, qsizetype index);
// Where refusal notes go; the main window sets it. Without one they are
// dropped (the character is refused all the same).
void setRefusalNoteSink(std::function<void(const QString&)> sink);
void tellRefusal(const QString& text, qsizetype index);

// Paths cross between the core and the widgets in the file system's own
// encoding (UTF-8 on Windows, whose core opens files by wide names), never
// as single-byte text, so that a file name outside ASCII shows as the file
// system names it and the core opens exactly that file.
QString fromCorePath(const std::string& path);
std::string toCorePath(const QString& path);

// For line edits: refuses any edit that would bring in a character outside
// the set, and tells it.
class SingleByteValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// The same for a single-line edit whose text goes to the board as one line:
// a pasted or dropped text keeps its first line only, so no line break is
// ever part of it.
class SingleByteLineValidator : public SingleByteValidator {
public:
    using SingleByteValidator::SingleByteValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace travin
