#include "app/SingleByteQt.h"

#include <QFile>

#include <QStringView>

#include "core/SingleByteText.h"

namespace travin {

namespace {

std::function<void(const QString&)>& noteSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

// The code point at `index`, a surrogate pair taken as one character.
char32_t codePointAt(const QString& text, qsizetype index) {
    const QChar c = text.at(index);
    if (c.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(index + 1));
    return c.unicode();
}

}  // namespace

QString fromSingleByte(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes) text.append(QChar(static_cast<char16_t>(characterOfByte(static_cast<unsigned char>(b)))));
    return text;
}

bool toSingleByte(const QString& text, std::string& bytes, qsizetype* firstRefused) {
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(text.size()));
    bool whole = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = codePointAt(text, i);
        const int b = byteOfCharacter(c);
        if (b < 0) {
            if (whole && firstRefused) *firstRefused = i;
            whole = false;
            bytes.push_back('?');
        } else {
            bytes.push_back(static_cast<char>(b));
        }
        if (c > 0xFFFF) ++i;
    }
    return whole;
}

std::string toSingleByte(const QString& text) {
    std::string bytes;
    toSingleByte(text, bytes);
    return bytes;
}

qsizetype firstOutsideSingleByte(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = codePointAt(text, i);
        if (byteOfCharacter(c) < 0) return i;
        if (c > 0xFFFF) ++i;
    }
    return -1;
}

QString refusedCharacterNote(const QString& text, qsizetype index) {
    const char32_t c = codePointAt(text, index);
    const QString shown = QString::fromUcs4(&c, 1);
    const QString hex = QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QChar('0'));
    return QStringLiteral("Refused %1 (U+%2): not a character of the board's text").arg(shown, hex);
}

void setRefusalNoteSink(std::function<void(const QString&)> sink) { noteSink() = std::move(sink); }

void tellRefusal(const QString& text, qsizetype index) {
    if (noteSink()) noteSink()(refusedCharacterNote(text, index));
}

QValidator::State SingleByteValidator::validate(QString& input, int&) const {
    const qsizetype bad = firstOutsideSingleByte(input);
    if (bad < 0) return Acceptable;
    tellRefusal(input, bad);
    return Invalid;
}

QValidator::State SingleByteLineValidator::validate(QString& input, int& pos) const {
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (input.at(i) != QChar('\r') && input.at(i) != QChar('\n')) continue;
        // Only a paste or a drop brings a line break, and the caret stands
        // at the end of what it brought: from the break to the caret goes,
        // the line's own text after the caret stays.
        const qsizetype cut = pos > i ? pos - i : input.size() - i;
        input.remove(i, cut);
        pos = static_cast<int>(i);
        break;
    }
    return SingleByteValidator::validate(input, pos);
}

QString fromCorePath(const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
#if defined(Q_OS_WIN)
    return QString::fromUtf8(bytes);
#else
    return QFile::decodeName(bytes);
#endif
}

std::string toCorePath(const QString& path) {
#if defined(Q_OS_WIN)
    // The core opens its paths as UTF-8 through the wide calls; the file
    // system's own 8-bit encoding there is the ANSI code page, which loses
    // letters outside it.
    const QByteArray bytes = path.toUtf8();
#else
    const QByteArray bytes = QFile::encodeName(path);
#endif
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace travin
