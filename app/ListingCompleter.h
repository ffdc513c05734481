// Completion in the listing: Ctrl+Space offers the built-ins that start
// with the word before the caret (after goto and gosub the program's own
// labels), each with its parameter list and the catalogue's one-line
// description; choosing one puts in the name and, for a built-in, its
// parentheses with the caret between them. While the caret is inside a
// built-in call's parentheses the parameter under it, with its range, is
// shown through onCallHint (the window puts it in the status bar).
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QCompleter;
class QKeyEvent;
class QStandardItemModel;

namespace travin {

class ListingPane;

class ListingCompleter : public QObject {
    Q_OBJECT
public:
    explicit ListingCompleter(ListingPane* pane);

    // The parameter under the caret ("" outside a call).
    std::function<void(const QString&)> onCallHint;

    // Opens the list for the word before the caret (Ctrl+Space).
    void complete();
    QCompleter* completer() const { return popupCompleter; }

    // The pane's key, before the pane sees it; true when taken here.
    bool keyPress(QKeyEvent* event);

private:
    void insert(const QString& name, bool isLabel, bool withArguments);
    void caretMoved();
    // The word from its start up to the caret, and where it starts.
    QString wordBeforeCaret(int* start = nullptr) const;

    ListingPane* pane;
    QCompleter* popupCompleter;
    QStandardItemModel* model;
    int wordStart = -1;   // block position of the word being completed
};

}  // namespace travin
