#include "app/ConsolePane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <algorithm>

#include "app/SingleByteQt.h"
#include "core/LineTimes.h"
#include "core/SourceFileIo.h"

namespace travin {

namespace {

const char* const kTimesKey = "console/timestamps";

bool refuses(const QString& text) {
    const qsizetype bad = firstOutsideSingleByte(text);
    if (bad < 0) return false;
    tellRefusal(text, bad);
    return true;
}

// A line's arrival time (wall-clock milliseconds), kept with its block so
// that it follows the line through the user's edits: a block split off by a
// typed line break has none, as a typed line has none.
class LineArrival : public QTextBlockUserData {
public:
    explicit LineArrival(std::int64_t wallMs) : wall(wallMs) {}
    const std::int64_t wall;
};

std::int64_t arrivalOf(const QTextBlock& block) {
    const auto* arrival = dynamic_cast<const LineArrival*>(block.userData());
    return arrival ? arrival->wall : 0;
}

QString groupedCount(std::uint64_t n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QChar(' '));
    return digits;
}

}  // namespace

// The strip left of the text where the lines' times are painted.
class ConsoleTimeMargin : public QWidget {
public:
    explicit ConsoleTimeMargin(ConsolePane* pane) : QWidget(pane), pane(pane) {}

protected:
    void paintEvent(QPaintEvent* event) override { pane->paintTimes(event); }

private:
    ConsolePane* pane;
};

ConsolePane::ConsolePane(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (settingText) return;
        const int excess = document()->characterCount() - 1 - maxCharacters;
        if (excess > 0) {
            // What is typed or pasted beyond the pane's capacity is refused:
            // the characters just before the caret are the ones added.
            QTextCursor c = textCursor();
            c.clearSelection();
            c.setPosition(std::max(0, c.position() - excess), QTextCursor::KeepAnchor);
            settingText = true;
            c.removeSelectedText();
            settingText = false;
        }
        userEdited = true;
        if (onUserEdit) onUserEdit();
    });

    timeMargin = new ConsoleTimeMargin(this);
    timeMargin->hide();
    droppedLabel = new QLabel(this);
    droppedLabel->setObjectName("DroppedLinesNote");
    droppedLabel->setAutoFillBackground(true);
    droppedLabel->setContentsMargins(4, 1, 4, 1);
    droppedLabel->hide();
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (!timeMargin->isVisible()) return;
        if (dy) timeMargin->scroll(0, dy);
        else timeMargin->update(0, rect.y(), timeMargin->width(), rect.height());
    });

    CopyAllAction = new QAction("Copy &All", this);
    CopyAllAction->setObjectName("CopyAllMenu");
    CopyAllAction->setToolTip("Copy the whole Input-Output text");
    connect(CopyAllAction, &QAction::triggered, this, [this] { copyAll(); });
    SaveAsAction = new QAction("Save Input-Output &As\u2026", this);
    SaveAsAction->setObjectName("SaveInputOutputMenu");
    SaveAsAction->setToolTip("Save the Input-Output text to a file");
    connect(SaveAsAction, &QAction::triggered, this, [this] { saveAs(); });
    TimesAction = new QAction("&Timestamps", this);
    TimesAction->setObjectName("TimestampsMenu");
    TimesAction->setToolTip("Show when each Input-Output line arrived");
    TimesAction->setCheckable(true);
    connect(TimesAction, &QAction::toggled, this, [this](bool on) { setTimesShown(on); });

    chooseSavePath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, "Save Input-Output As", suggested,
                                            "Text files (*.txt);;Log files (*.log);;All files (*)");
    };
}

std::vector<std::string> ConsolePane::consoleLines() const {
    if (!userEdited) return {shownLines.begin(), shownLines.end()};
    std::vector<std::string> out;
    if (document()->isEmpty()) return out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        out.push_back(toSingleByte(b.text()));
    }
    return out;
}

// Only LF starts a line. The document would break the line at a CR as well,
// so a CR is shown as nothing; it stays in the console's lines themselves.
QString ConsolePane::paneText(const std::string& line) {
    QString text = fromSingleByte(line);
    text.remove(QChar('\r'));
    return text;
}

void ConsolePane::setConsoleLines(const std::vector<std::string>& lines) { showWhole(lines, {}); }

void ConsolePane::setTimedConsoleLines(const ConsoleLinesChange& whole) {
    setDropped(whole.droppedSinceClear);
    showWhole(whole.tail, whole.tailTimes);
}

void ConsolePane::showWhole(const std::vector<std::string>& lines, const std::vector<std::int64_t>& times) {
    shownLines.assign(lines.begin(), lines.end());
    userEdited = false;
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += QChar('\n');
        text += paneText(lines[i]);
    }
    settingText = true;
    setPlainText(text);
    stampBlocks(0, times);
    settingText = false;
    scrollToEnd();
}

void ConsolePane::stampBlocks(int first, const std::vector<std::int64_t>& times) {
    QTextBlock block = document()->findBlockByNumber(first);
    for (std::size_t i = 0; block.isValid(); ++i, block = block.next()) {
        if (i >= times.size()) {
            // Lines without a time (handed over without one) show none.
            if (!times.empty()) break;
            setArrival(block, 0);
            continue;
        }
        setArrival(block, times[i]);
    }
    if (timeMargin->isVisible()) timeMargin->update();
}

void ConsolePane::setArrival(QTextBlock block, std::int64_t wall) {
    if (wall <= 0) {
        block.setUserState(-1);
        block.setUserData(nullptr);
        return;
    }
    // The lines of one hand-over share their time: the local time of day is
    // worked out once for them.
    if (wall != lastStampWall) {
        lastStampWall = wall;
        lastStampOfDay = localMsOfDay(wall);
    }
    block.setUserState(lastStampOfDay);
    block.setUserData(new LineArrival(wall));
}

std::vector<std::int64_t> ConsolePane::consoleLineTimes() const {
    // One time for each of consoleLines(): the pane shows a block even when
    // it holds no line.
    std::size_t count = shownLines.size();
    if (userEdited) count = document()->isEmpty() ? 0 : static_cast<std::size_t>(document()->blockCount());
    std::vector<std::int64_t> times;
    times.reserve(count);
    for (QTextBlock b = document()->begin(); b.isValid() && times.size() < count; b = b.next())
        times.push_back(arrivalOf(b));
    times.resize(count, 0);
    return times;
}

void ConsolePane::changeConsoleLines(const ConsoleLinesChange& change) {
    setDropped(change.droppedSinceClear);
    const std::size_t count = shownLines.size();
    const bool inStep = static_cast<std::size_t>(document()->blockCount()) == std::max<std::size_t>(count, 1);
    if (userEdited || !inStep) {
        // Not the lines last handed over (the user typed): set anew.
        std::vector<std::string> lines = consoleLines();
        change.applyTo(lines);
        // The lines kept keep their times, as the change keeps them.
        std::vector<std::int64_t> times = consoleLineTimes();
        times.erase(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(std::min(change.dropped, times.size())));
        times.resize(std::min(change.kept, times.size()));
        times.insert(times.end(), change.tailTimes.begin(), change.tailTimes.end());
        times.resize(lines.size(), 0);
        showWhole(lines, times);
        return;
    }
    const std::size_t drop = std::min(change.dropped, count);
    const std::size_t keep = std::min(change.kept, count - drop);
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum() - 1;

    // Cutting across a line break merges two blocks, and splitting one
    // makes a new block: either may lose the time of the block it keeps, so
    // the first and last kept lines' times are taken now and put back.
    const std::int64_t firstKeptTime = keep ? arrivalOf(document()->findBlockByNumber(static_cast<int>(drop))) : 0;
    const std::int64_t lastKeptTime =
        keep ? arrivalOf(document()->findBlockByNumber(static_cast<int>(drop + keep - 1))) : 0;
    settingText = true;
    QTextCursor c(document());
    c.beginEditBlock();
    // The lines after the kept ones go from the end, the dropped ones from
    // the start, and the new ones are added.
    if (keep == 0) {
        // Nothing the pane has stays.
        c.select(QTextCursor::Document);
        c.removeSelectedText();
    } else {
        if (drop + keep < count) {
            const QTextBlock lastKept = document()->findBlockByNumber(static_cast<int>(drop + keep - 1));
            c.setPosition(lastKept.position() + lastKept.length() - 1);
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
        if (drop > 0) {
            c.setPosition(0);
            c.setPosition(document()->findBlockByNumber(static_cast<int>(drop)).position(), QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
    }
    QString added;
    for (std::size_t i = 0; i < change.tail.size(); ++i) {
        if (i || keep) added += QChar('\n');
        added += paneText(change.tail[i]);
    }
    c.movePosition(QTextCursor::End);
    c.insertText(added);
    c.endEditBlock();
    if (keep) {
        setArrival(document()->firstBlock(), firstKeptTime);
        setArrival(document()->findBlockByNumber(static_cast<int>(keep - 1)), lastKeptTime);
    }
    if (!change.tail.empty() || keep == 0) stampBlocks(static_cast<int>(keep), change.tailTimes);
    settingText = false;

    shownLines.erase(shownLines.begin(), shownLines.begin() + static_cast<std::ptrdiff_t>(drop));
    shownLines.resize(keep);
    shownLines.insert(shownLines.end(), change.tail.begin(), change.tail.end());
    if (following) scrollToEnd();
}

void ConsolePane::scrollToEnd() {
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// --- Copy, save, times --------------------------------------------------------

QString ConsolePane::timeOfLine(int line) const {
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid() || block.userState() < 0) return {};
    return QString::fromLatin1(timeOfDayFromMs(block.userState()));
}

QString ConsolePane::shownText() const {
    const bool times = timesShown();
    const QString noTime(static_cast<qsizetype>(kStampWidth), QChar(' '));
    QString text;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (times) {
            text += b.userState() >= 0 ? QString::fromLatin1(timeOfDayFromMs(b.userState())) + QChar(' ') : noTime;
        }
        text += b.text();
        text += QStringLiteral("\r\n");
    }
    return text;
}

void ConsolePane::copyAll() { QApplication::clipboard()->setText(shownText()); }

bool ConsolePane::saveText(const std::string& path) {
    QString text = shownText();
    text.chop(2);
    std::vector<std::string> lines;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) lines.push_back(toSingleByte(line));
    const FileOutcome outcome = writeSourceLines(path, lines);
    if (!outcome.ok) {
        QString message = "Cannot create file " + QDir::toNativeSeparators(fromCorePath(path));
        if (!outcome.detail.empty()) message += "\n" + fromCorePath(outcome.detail);
        QMessageBox::critical(this, QString(), message);
    }
    return outcome.ok;
}

void ConsolePane::saveAs() {
    const QString chosen = chooseSavePath("Input-Output.txt");
    if (!chosen.isEmpty()) saveText(toCorePath(chosen));
}

bool ConsolePane::timesShown() const { return TimesAction->isChecked(); }

void ConsolePane::setTimesShown(bool shown) {
    if (TimesAction->isChecked() != shown) {
        TimesAction->setChecked(shown);  // comes back here through toggled
        return;
    }
    timeMargin->setVisible(shown);
    placeMargins();
    if (!settingsPath.isEmpty()) QSettings(settingsPath, QSettings::IniFormat).setValue(kTimesKey, shown);
}

void ConsolePane::rememberTimesIn(const QString& settingsFile) {
    settingsPath = settingsFile;
    setTimesShown(QSettings(settingsPath, QSettings::IniFormat).value(kTimesKey, false).toBool());
}

QString ConsolePane::droppedNote() const {
    return droppedLabel->isVisibleTo(this) ? droppedLabel->text() : QString();
}

void ConsolePane::setDropped(std::uint64_t lines) {
    if (lines == droppedLines) return;
    droppedLines = lines;
    droppedLabel->setText(QString("%1 older lines dropped: the pane keeps the last %2 lines")
                              .arg(groupedCount(lines), groupedCount(historyLines)));
    const bool show = lines > 0;
    if (droppedLabel->isVisibleTo(this) != show) {
        droppedLabel->setVisible(show);
        placeMargins();
    }
}

void ConsolePane::placeMargins() {
    const int timeWidth =
        timeMargin->isVisibleTo(this) ? fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 8 : 0;
    const int noteHeight = droppedLabel->isVisibleTo(this) ? droppedLabel->sizeHint().height() : 0;
    setViewportMargins(timeWidth, noteHeight, 0, 0);
    const QRect area = contentsRect();
    timeMargin->setGeometry(area.left(), area.top() + noteHeight, timeWidth, area.height() - noteHeight);
    droppedLabel->setGeometry(area.left(), area.top(), area.width() - verticalScrollBar()->sizeHint().width(),
                              noteHeight);
    timeMargin->update();
}

void ConsolePane::paintTimes(QPaintEvent* event) {
    QPainter painter(timeMargin);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible() && block.userState() >= 0 && top + height >= event->rect().top()) {
            painter.drawText(4, top, timeMargin->width() - 4, lineHeight, Qt::AlignLeft | Qt::AlignVCenter,
                             QString::fromLatin1(timeOfDayFromMs(block.userState())));
        }
        top += height;
        block = block.next();
    }
}

void ConsolePane::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    placeMargins();
}

void ConsolePane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu(event->pos());
    menu->addSeparator();
    menu->addAction(CopyAllAction);
    menu->addAction(SaveAsAction);
    menu->addSeparator();
    menu->addAction(TimesAction);
    for (QAction* action : moreActions) menu->addAction(action);
    menu->exec(event->globalPos());
    delete menu;
}

void ConsolePane::keyPressEvent(QKeyEvent* event) {
    if (refuses(event->text())) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ConsolePane::inputMethodEvent(QInputMethodEvent* event) {
    if (refuses(event->commitString())) {
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void ConsolePane::insertFromMimeData(const QMimeData* source) {
    if (source && source->hasText() && refuses(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace travin
