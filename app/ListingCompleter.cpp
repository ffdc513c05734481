#include "app/ListingCompleter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>

#include "app/ListingPane.h"
#include "app/SingleByteQt.h"
#include "workbench/ListingAssist.h"

namespace travin {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kLabelRole = Qt::UserRole + 2;
constexpr int kArgumentsRole = Qt::UserRole + 3;

bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

}  // namespace

ListingCompleter::ListingCompleter(ListingPane* listing)
    : QObject(listing), pane(listing), popupCompleter(new QCompleter(this)), model(new QStandardItemModel(this)) {
    popupCompleter->setModel(model);
    popupCompleter->setWidget(pane);
    popupCompleter->setCompletionRole(kNameRole);
    popupCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    popupCompleter->setCompletionMode(QCompleter::PopupCompletion);
    popupCompleter->setMaxVisibleItems(10);
    popupCompleter->popup()->setObjectName("ListingCompletions");
    connect(popupCompleter, QOverload<const QModelIndex&>::of(&QCompleter::activated), this,
            [this](const QModelIndex& index) {
                insert(index.data(kNameRole).toString(), index.data(kLabelRole).toBool(),
                       index.data(kArgumentsRole).toBool());
            });
    connect(pane, &QTextEdit::cursorPositionChanged, this, [this] { caretMoved(); });
}

QString ListingCompleter::wordBeforeCaret(int* start) const {
    const QTextCursor c = pane->textCursor();
    const QString text = c.block().text();
    int from = c.positionInBlock();
    const int caret = from;
    while (from > 0 && isNameChar(text.at(from - 1))) --from;
    if (start) *start = c.block().position() + from;
    return text.mid(from, caret - from);
}

void ListingCompleter::complete() {
    const QTextCursor c = pane->textCursor();
    const CompletionList list = completionsAt(pane->lines(), c.blockNumber(), c.positionInBlock());
    model->clear();
    for (const Completion& item : list.items) {
        auto* row = new QStandardItem(fromSingleByte(item.signature) + QStringLiteral("  \u2014  ") +
                                      fromSingleByte(item.description));
        row->setData(fromSingleByte(item.name), kNameRole);
        row->setData(item.isLabel, kLabelRole);
        row->setData(item.parameterCount > 0, kArgumentsRole);
        row->setToolTip(fromSingleByte(item.signature) + "\n" + fromSingleByte(item.description));
        row->setEditable(false);
        model->appendRow(row);
    }
    if (list.items.empty()) {
        popupCompleter->popup()->hide();
        return;
    }
    wordStart = c.block().position() + list.wordStart;
    popupCompleter->setCompletionPrefix(wordBeforeCaret());
    QRect at = pane->cursorRect();
    at.translate(pane->viewport()->pos());
    at.setWidth(std::min(560, pane->width() - at.left()));
    popupCompleter->complete(at);
    popupCompleter->popup()->setCurrentIndex(popupCompleter->completionModel()->index(0, 0));
}

void ListingCompleter::insert(const QString& name, bool isLabel, bool withArguments) {
    QTextCursor c = pane->textCursor();
    c.beginEditBlock();
    c.setPosition(wordStart < 0 ? c.position() : wordStart, QTextCursor::KeepAnchor);
    // The name, and a built-in's parentheses; the caret goes between them
    // when arguments belong there.
    c.insertText(isLabel ? name : name + "()");
    if (!isLabel && withArguments) c.movePosition(QTextCursor::Left);
    c.endEditBlock();
    pane->setTextCursor(c);
    wordStart = -1;
}

bool ListingCompleter::keyPress(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier)) {
        complete();
        event->accept();
        return true;
    }
    // With the list open, these keys choose or close it: the completer acts
    // on them once the pane has left them alone.
    if (popupCompleter->popup()->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return false;
}

void ListingCompleter::caretMoved() {
    if (popupCompleter->popup()->isVisible()) {
        int start = 0;
        const QString word = wordBeforeCaret(&start);
        // Leaving the word closes the list; typing on narrows it.
        if (start != wordStart) {
            popupCompleter->popup()->hide();
        } else {
            popupCompleter->setCompletionPrefix(word);
            popupCompleter->popup()->setCurrentIndex(popupCompleter->completionModel()->index(0, 0));
        }
    }
    if (!onCallHint) return;
    const QTextCursor c = pane->textCursor();
    const auto parameter = parameterAt(toSingleByte(c.block().text()), c.positionInBlock());
    onCallHint(parameter ? fromSingleByte(parameter->text) : QString());
}

}  // namespace travin
