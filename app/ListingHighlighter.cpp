#include "app/ListingHighlighter.h"

#include <QTextDocument>
#include <algorithm>

#include "app/SingleByteQt.h"
#include "lang/Builtins.h"
#include "lang/Lexer.h"

namespace travin {

namespace {

QTextCharFormat coloured(const QColor& colour, bool italic = false) {
    QTextCharFormat f;
    f.setForeground(colour);
    if (italic) f.setFontItalic(true);
    return f;
}

}  // namespace

// Dark, low-saturation tones away from the marks' red, blue and magenta.
QColor ListingHighlighter::keywordColour() { return QColor(0, 100, 110); }
QColor ListingHighlighter::builtinColour() { return QColor(140, 85, 0); }
QColor ListingHighlighter::numberColour() { return QColor(80, 110, 20); }
QColor ListingHighlighter::textColour() { return QColor(30, 110, 60); }
QColor ListingHighlighter::labelColour() { return QColor(90, 90, 70); }
QColor ListingHighlighter::commentColour() { return QColor(128, 128, 128); }
QColor ListingHighlighter::problemColour() { return QColor(230, 90, 0); }

const std::vector<ListingProblem>& problemsOfBlock(const QTextBlock& block) {
    static const std::vector<ListingProblem> none;
    const auto* data = dynamic_cast<const ListingProblemData*>(block.userData());
    return data ? data->problems : none;
}

ListingHighlighter::ListingHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void ListingHighlighter::setBlockProblems(QTextBlock block, std::vector<ListingProblem> problems) {
    const auto& old = problemsOfBlock(block);
    const bool same = old.size() == problems.size() &&
                      std::equal(old.begin(), old.end(), problems.begin(), [](const auto& a, const auto& b) {
                          return a.column == b.column && a.message == b.message;
                      });
    if (same) return;
    if (problems.empty()) {
        block.setUserData(nullptr);
    } else {
        auto* data = new ListingProblemData;
        data->problems = std::move(problems);
        block.setUserData(data);
    }
    rehighlightBlock(block);
}

void ListingHighlighter::highlightBlock(const QString& text) {
    // One character per byte both ways, so the lexer's columns are the
    // block's positions.
    const std::string bytes = toSingleByte(text);
    const lang::LexedLine lexed = lang::lexLine(bytes);
    const auto& tokens = lexed.tokens;
    using K = lang::Token::Kind;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const lang::Token& t = tokens[i];
        const int start = static_cast<int>(t.column);
        const int length = static_cast<int>(t.length);
        switch (t.kind) {
        case K::Number: setFormat(start, length, coloured(numberColour())); break;
        case K::Text: setFormat(start, length, coloured(textColour())); break;
        case K::Comment: setFormat(start, length, coloured(commentColour(), true)); break;
        case K::Name: {
            const bool labelLine = i == 0 && tokens.size() > 1 && tokens[1].kind == K::Symbol && tokens[1].text == ":";
            const bool jumpTarget = i > 0 && tokens[i - 1].kind == K::Name &&
                                    (tokens[i - 1].text == "goto" || tokens[i - 1].text == "gosub");
            if (lang::isKeyword(t.text)) setFormat(start, length, coloured(keywordColour()));
            else if (lang::findBuiltin(t.text)) setFormat(start, length, coloured(builtinColour()));
            else if (labelLine || jumpTarget) setFormat(start, length, coloured(labelColour()));
            break;
        }
        default: break;
        }
    }

    for (const ListingProblem& p : problemsOfBlock(currentBlock())) {
        const auto [start, length] = underlineSpan(text, p);
        for (int i = start; i < start + length; ++i) {
            QTextCharFormat each = format(i);
            each.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            each.setUnderlineColor(problemColour());
            setFormat(i, 1, each);
        }
    }
}

std::pair<int, int> ListingHighlighter::underlineSpan(const QString& lineText, const ListingProblem& problem) {
    const int size = static_cast<int>(lineText.size());
    if (size == 0) return {0, 0};
    if (problem.column >= size) return {size - 1, 1};
    int length = 1;
    for (const lang::Token& t : lang::lexLine(toSingleByte(lineText)).tokens)
        if (static_cast<int>(t.column) == problem.column && t.length > 0) length = static_cast<int>(t.length);
    return {problem.column, std::min(length, size - problem.column)};
}

}  // namespace travin
