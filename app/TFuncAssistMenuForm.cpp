#include "app/TFuncAssistMenuForm.h"

#include "app/AssistFonts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>

namespace travin {
namespace {

struct Column {
    int x;
    int first, last;   // catalogue indexes, top to bottom
};

// The groups' columns: functions at the group's x, subroutines 72 further;
// a text may take its column's room up to a small gap before the next one.
constexpr int kGroupPitch = 184;
constexpr int kSubroutineOffset = 72;
constexpr int kColumnGap = 4;
constexpr Column kColumns[] = {
    {20, 0, 8},    {92, 9, 12},   // General Purpose
    {204, 13, 18}, {276, 19, 25}, // Orlen
    {388, 26, 29}, {460, 30, 36}, // Daska
    {572, 37, 39}, {644, 40, 43}, // Membo
};

// The window's own hints for the General Purpose functions; they differ
// from the catalogue's descriptions in places. No other label has one.
const char* const kHints[9] = {
    "Returns asynchronous user input",
    "Returns number of communications errors",
    "Initializes VQL network and returns number of modules found",
    "Returns status byte",
    "Returns module type",
    "Returns module version",
    "Returns contents of processer memory address",
    " \tReturns contents of Travin memory address",
    "Tests if specified data bit is set",
};

constexpr int kMenuWidth = 742;

// The room from x to the next column (or the window's right edge).
constexpr int columnWidth(int x, int room)
{
    return (x + room > kMenuWidth ? kMenuWidth - x : room) - kColumnGap;
}

}  // namespace

TClickLabel::TClickLabel(const QString& text, int tag, QWidget* parent) : QLabel(text, parent), tag_(tag)
{
    setFont(AssistFont(15, false, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    setPalette(pal);
}

void TClickLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a left press and release over the label.
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked(tag_);
}

TFuncAssistMenuForm::TFuncAssistMenuForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FuncAssistMenuForm"));
    setFont(AssistFont(11));
    setFixedSize(kMenuWidth, 217);

    // Labels are numbered: the 44 entries first, so Label1 is getchar's
    // and its click handler is the one all entries share.
    int labelNumber = FuncAssistEntryCount;
    auto named = [&labelNumber](QLabel* label) {
        label->setObjectName(QStringLiteral("Label%1").arg(++labelNumber));
    };
    const char* groups[] = {"General Purpose", "Orlen", "Daska", "Membo"};
    for (int g = 0; g < 4; ++g) {
        const int x = 20 + kGroupPitch * g;
        named(PlacedLabel(this, QString::fromLatin1(groups[g]), x, 16, columnWidth(x, kGroupPitch), AssistFont(16, true)));
        named(PlacedLabel(this, QStringLiteral("Functions"), x, 40, kSubroutineOffset - kColumnGap, AssistFont(15)));
        named(PlacedLabel(this, QStringLiteral("Subroutines"), x + kSubroutineOffset, 40,
                          columnWidth(x + kSubroutineOffset, kGroupPitch - kSubroutineOffset), AssistFont(15)));
    }

    for (const Column& column : kColumns) {
        int y = 56;
        for (int i = column.first; i <= column.last; ++i, y += 16) {
            auto* label = new TClickLabel(QString::fromLatin1(FuncAssistCatalogue[i].Name), i, this);
            label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
            const bool functions = (column.x - 20) % kGroupPitch == 0;
            const int room = functions ? kSubroutineOffset : kGroupPitch - kSubroutineOffset;
            label->setGeometry(column.x, y, columnWidth(column.x, room), label->fontMetrics().height());
            if (i < 9)
                label->setToolTip(QString::fromLatin1(kHints[i]));
            connect(label, &TClickLabel::clicked, this, &TFuncAssistMenuForm::Label1Click);
            entries_[i] = label;
        }
    }

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Button1"));
    cancel_->setGeometry(624, 180, 75, 21);
    // Enter must not press it.
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { done(kModalCancel); });

    FormCreate();
}

void TFuncAssistMenuForm::FormCreate() { setWindowTitle(QStringLiteral("Travin Function Assistant")); }

void TFuncAssistMenuForm::Label1Click(int tag)
{
    if (events_)
        events_->Label1Click(tag);
}

void TFuncAssistMenuForm::showModal()
{
    CentreOnOwner(this);
    exec();
}

void TFuncAssistMenuForm::setModalResult(int result)
{
    // Outside a showing there is nothing to end; the next showing starts
    // with an empty result anyway.
    if (isVisible())
        done(result);
}

void TFuncAssistMenuForm::reject() { done(kModalCancel); }

TClickLabel* TFuncAssistMenuForm::entryLabel(int tag) const
{
    return tag >= 0 && tag < FuncAssistEntryCount ? entries_[tag] : nullptr;
}

void TFuncAssistMenuForm::keyPressEvent(QKeyEvent* event)
{
    if (!SwallowDialogKeys(event)) QDialog::keyPressEvent(event);
}

}  // namespace travin
