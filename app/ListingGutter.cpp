#include "app/ListingGutter.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "app/ListingPane.h"

namespace travin {

namespace {

constexpr int kMarkArea = 12;   // the dot and the arrow, left of the numbers
constexpr int kPadding = 4;

}  // namespace

ListingGutter::ListingGutter(ListingPane* listing) : QWidget(listing), pane(listing) {
    setObjectName("ListingGutter");
    setCursor(Qt::PointingHandCursor);
    setToolTip("Click a line number to set or clear its breakpoint");
    pane->installEventFilter(this);
    connect(pane->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    connect(pane->document(), &QTextDocument::blockCountChanged, this, [this] { updateWidth(); });
    connect(pane->document()->documentLayout(), &QAbstractTextDocumentLayout::update, this, [this] { update(); });
    connect(pane, &ListingPane::marksChanged, this, [this] { update(); });
    updateWidth();
}

int ListingGutter::neededWidth() const {
    int digits = 1;
    for (int n = std::max(pane->document()->blockCount(), 99); n >= 10; n /= 10) ++digits;
    return kMarkArea + pane->fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits + 2 * kPadding;
}

QSize ListingGutter::sizeHint() const { return QSize(neededWidth(), 0); }

void ListingGutter::updateWidth() {
    const int w = neededWidth();
    if (w != width_) {
        width_ = w;
        pane->setGutterWidth(w);
        place();
    }
    update();
}

void ListingGutter::place() {
    const QRect r = pane->contentsRect();
    setGeometry(r.left(), r.top(), width_, r.height());
}

bool ListingGutter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pane && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)) {
        if (event->type() == QEvent::FontChange) updateWidth();
        place();
    }
    return QWidget::eventFilter(watched, event);
}

int ListingGutter::blockTop(int line) const {
    const QTextBlock block = pane->document()->findBlockByNumber(line);
    const QRectF r = pane->document()->documentLayout()->blockBoundingRect(block);
    // The viewport starts where the gutter does; its content is scrolled.
    return static_cast<int>(r.top()) - pane->verticalScrollBar()->value() + pane->viewport()->y() - y();
}

std::pair<int, int> ListingGutter::visibleLines() const {
    // The first line whose bottom is below the gutter's top, by halving:
    // the tops grow with the lines, and asking a line's place lays the
    // document out up to it (the pane lays out large texts lazily).
    const int blocks = pane->document()->blockCount();
    int low = 0, high = blocks - 1;
    while (low < high) {
        const int mid = (low + high) / 2;
        const QTextBlock block = pane->document()->findBlockByNumber(mid);
        const int bottom = blockTop(mid) + static_cast<int>(pane->document()->documentLayout()->blockBoundingRect(block).height());
        if (bottom <= 0) low = mid + 1;
        else high = mid;
    }
    const int first = low;
    int last = first;
    while (last + 1 < blocks && blockTop(last + 1) < height()) ++last;
    return {first, last};
}

int ListingGutter::lineAt(int yPos) const {
    const auto [first, last] = visibleLines();
    for (int line = first; line <= last; ++line) {
        const QTextBlock block = pane->document()->findBlockByNumber(line);
        const int top = blockTop(line);
        const int bottom = top + static_cast<int>(pane->document()->documentLayout()->blockBoundingRect(block).height());
        if (yPos >= top && yPos < bottom) return line;
    }
    return -1;
}

ListingGutter::LineMarks ListingGutter::marksOf(int line) const {
    const QTextBlock block = pane->document()->findBlockByNumber(line);
    LineMarks m;
    if (!block.isValid()) return m;
    const QColor shown = pane->shownColour(block.position());
    m.breakpoint = shown == QColor(Qt::red) || shown == QColor(Qt::magenta);
    m.executing = shown == QColor(Qt::blue) || shown == QColor(Qt::magenta);
    return m;
}

void ListingGutter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(238, 238, 238));
    p.setPen(QColor(210, 210, 210));
    p.drawLine(width() - 1, 0, width() - 1, height());
    p.setFont(pane->font());
    p.setRenderHint(QPainter::Antialiasing);
    const auto [first, last] = visibleLines();
    const int lineHeight = pane->fontMetrics().height();
    for (int line = first; line <= last; ++line) {
        const int top = blockTop(line);
        const QRect row(0, top, width() - kPadding, lineHeight);
        p.setPen(QColor(128, 128, 128));
        p.drawText(row, Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
        const LineMarks m = marksOf(line);
        const int cy = top + lineHeight / 2;
        if (m.breakpoint) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::red);
            p.drawEllipse(QPointF(kPadding + 4, cy), 4.5, 4.5);
        }
        if (m.executing) {
            QPainterPath arrow;
            arrow.moveTo(kPadding - 1, cy - 5);
            arrow.lineTo(kPadding + 9, cy);
            arrow.lineTo(kPadding - 1, cy + 5);
            arrow.closeSubpath();
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(Qt::blue);
            p.drawPath(arrow);
        }
    }
}

void ListingGutter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int line = lineAt(static_cast<int>(event->position().y()));
    if (line >= 0 && onLineClicked) onLineClicked(line);
    event->accept();
}

}  // namespace travin
