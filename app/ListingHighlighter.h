// The listing's colours: Travin's words coloured by the language library's
// own lexer (no second grammar), and each problem the last parse found
// underlined at its place.
//
// Colouring is display only: the formats live in the pane's layout, not in
// the document, so they never enter the undo history, never set the
// modification mark, never change a character, and a printed copy (made
// from the document) never shows them. The colours are quiet ones; the
// breakpoint and executing-line marks are drawn over them and stay the
// strongest colours on the screen.
//
// Problems are kept with their line (block user data), so they move with
// the text while the next parse is awaited.
#pragma once

#include <QColor>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextBlockUserData>
#include <utility>
#include <vector>

namespace travin {

struct ListingProblem {
    int column = 0;      // 0-based
    QString message;
};

class ListingProblemData : public QTextBlockUserData {
public:
    std::vector<ListingProblem> problems;
};

// The problems recorded for a line, or none.
const std::vector<ListingProblem>& problemsOfBlock(const QTextBlock& block);

class ListingHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit ListingHighlighter(QTextDocument* document);

    // The colour of each kind of word, for tests and the help page's figure.
    static QColor keywordColour();
    static QColor builtinColour();
    static QColor numberColour();
    static QColor textColour();
    static QColor labelColour();
    static QColor commentColour();
    static QColor problemColour();

    // Where a problem's underline runs in its line: the word at its column,
    // or the last character when the problem is the line's end.
    static std::pair<int, int> underlineSpan(const QString& lineText, const ListingProblem& problem);

    // Replaces the line's problems and recolours it when they changed.
    void setBlockProblems(QTextBlock block, std::vector<ListingProblem> problems);

protected:
    void highlightBlock(const QString& text) override;
};

}  // namespace travin
