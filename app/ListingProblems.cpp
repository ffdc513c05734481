#include "app/ListingProblems.h"

#include <QHelpEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTextBlock>
#include <QThread>
#include <QToolTip>
#include <map>

#include "app/ListingHighlighter.h"
#include "app/ListingPane.h"
#include "app/SingleByteQt.h"
#include "lang/Program.h"

namespace travin {

namespace {

// The listing's text as the pane holds it, lines apart by U+2029; read on
// the user-interface thread (a cheap shared copy), converted and parsed on
// the worker.
QString rawText(const ListingPane& pane) { return pane.document()->toRawText(); }

std::vector<ParsedProblem> parse(const QString& raw) {
    QString text = raw;
    text.replace(QChar(QChar::ParagraphSeparator), QChar('\n'));
    std::vector<ParsedProblem> found;
    // A warning's line is taken by the board, which stops there when it runs
    // it: said so, as the message alone reads like a refusal.
    for (const lang::Diagnostic& d : lang::checkProgram(toSingleByte(text)))
        found.push_back({d.line - 1, d.column - 1,
                         (d.warning ? QStringLiteral("Stops here when run: ") : QString()) +
                             QString::fromStdString(d.message)});
    return found;
}

QString countNote(int n) {
    if (n < 0) return {};
    if (n == 0) return "No problems";
    return n == 1 ? QStringLiteral("1 problem") : QString("%1 problems").arg(n);
}

}  // namespace

ListingProblems::ListingProblems(ListingPane* listing, ListingHighlighter* colours, QStatusBar* statusBar)
    : QObject(listing), pane(listing), highlighter(colours),
      latestGeneration(std::make_shared<std::atomic<quint64>>(0)) {
    hintPanel = new QLabel(statusBar);
    hintPanel->setObjectName("ListingProblemsPanel");
    hintPanel->setFixedWidth(kPanelWidth);
    statusBar->addPermanentWidget(hintPanel);

    pause.setSingleShot(true);
    pause.setInterval(kPauseMs);
    connect(&pause, &QTimer::timeout, this, [this] { parseNow(); });
    connect(pane->document(), &QTextDocument::contentsChanged, this, [this] { textEdited(); });
    connect(pane, &QTextEdit::cursorPositionChanged, this, [this] { updatePanel(); });
    pane->viewport()->installEventFilter(this);

    worker = new QThread(this);
    worker->setObjectName("ListingParser");
    parser = new QObject;
    parser->moveToThread(worker);
    connect(worker, &QThread::finished, parser, &QObject::deleteLater);
    worker->start(QThread::LowPriority);
}

ListingProblems::~ListingProblems() {
    // No result may be posted to a window that is going: the worker ends
    // (after at most the parse it is in) before anything else here does.
    worker->quit();
    worker->wait();
}

void ListingProblems::textEdited() {
    // Colouring also reports a change of the contents; only a new text
    // waits for a parse, and the pause starts again with every edit.
    if (rawText(*pane) == lastParsedText && problemCount >= 0) return;
    pause.start();
}

void ListingProblems::parseNow() {
    pause.stop();
    const quint64 generation = ++*latestGeneration;
    const QString text = rawText(*pane);
    auto latest = latestGeneration;
    QObject* receiver = this;
    QMetaObject::invokeMethod(parser, [generation, text, latest, receiver] {
        // A newer text is already waiting: this one would be thrown away.
        if (*latest != generation) return;
        std::vector<ParsedProblem> found = parse(text);
        QMetaObject::invokeMethod(receiver, [receiver, generation, text, found = std::move(found)] {
            static_cast<ListingProblems*>(receiver)->showResult(generation, text, found);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ListingProblems::showResult(quint64 generation, const QString& parsedText, const std::vector<ParsedProblem>& found) {
    if (generation != *latestGeneration) return;
    if (parsedText != rawText(*pane)) {
        // Edited while the parse ran: the pause decides when to look again.
        pause.start();
        return;
    }
    lastParsedText = parsedText;
    std::map<int, std::vector<ListingProblem>> byLine;
    for (const ParsedProblem& p : found) byLine[p.line].push_back({p.column, p.message});
    // Only the lines whose problems changed are coloured again.
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
        const auto it = byLine.find(b.blockNumber());
        highlighter->setBlockProblems(b, it == byLine.end() ? std::vector<ListingProblem>{} : it->second);
    }
    problemCount = static_cast<int>(found.size());
    updatePanel();
    emit problemsShown(problemCount);
}

void ListingProblems::setCallHint(const QString& hint) {
    if (hint == callHint) return;
    callHint = hint;
    updatePanel();
}

void ListingProblems::updatePanel() {
    QString detail = callHint;
    if (detail.isEmpty()) {
        const QTextBlock caretLine = pane->textCursor().block();
        const auto& problems = problemsOfBlock(caretLine);
        if (!problems.empty())
            detail = QString("Line %1: %2").arg(caretLine.blockNumber() + 1).arg(problems.front().message);
    }
    const QString note = countNote(pane->document()->isEmpty() ? -1 : problemCount);
    const QString full = note.isEmpty() ? detail : detail.isEmpty() ? note : note + "  |  " + detail;
    hintPanel->setText(hintPanel->fontMetrics().elidedText(full, Qt::ElideRight, hintPanel->width()));
    hintPanel->setToolTip(full);
}

bool ListingProblems::eventFilter(QObject* watched, QEvent* event) {
    // The type first: while the pane is being destroyed its viewport still
    // sends events here, and the pane must not be asked anything then.
    if (event->type() == QEvent::ToolTip && watched == pane->viewport()) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QTextCursor at = pane->cursorForPosition(help->pos());
        const QTextBlock block = at.block();
        const int column = at.positionInBlock();
        QStringList messages;
        for (const ListingProblem& p : problemsOfBlock(block)) {
            const auto [start, length] = ListingHighlighter::underlineSpan(block.text(), p);
            if (column >= start && column <= start + length) messages << p.message;
        }
        if (messages.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), messages.join('\n'), pane->viewport());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace travin
