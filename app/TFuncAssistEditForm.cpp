#include "app/TFuncAssistEditForm.h"

#include "app/AssistFonts.h"
#include "app/SingleByteQt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace travin {
namespace {

constexpr int kClientWidth = 534;
// Captions from the left margin to the texts' column; texts from there to
// the right margin.
constexpr int kCaptionWidth = 140;
constexpr int kTextLeft = 160;
constexpr int kTextWidth = kClientWidth - kTextLeft - 6;

}  // namespace

TFuncAssistEditForm::TFuncAssistEditForm(QWidget* parent)
    // A dialog frame without any title-bar buttons.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FuncAssistEditForm"));
    setFont(AssistFont(11));
    setFixedSize(kClientWidth, 200);

    auto label = [this](int number, int x, int y, bool bold, const char* text) {
        QLabel* l = PlacedLabel(this, QString::fromLatin1(text), x, y, x < kTextLeft ? kCaptionWidth : kTextWidth,
                                AssistFont(15, bold));
        l->setObjectName(QStringLiteral("Label%1").arg(number));
        label_[number] = l;
    };
    label(1, 16, 8, true, "Function Name:");
    label(2, 16, 32, true, "Module Type:");
    label(3, 16, 56, true, "Description:");
    label(18, 16, 80, true, "Return Value:");
    label(4, 160, 8, false, "");
    label(5, 160, 32, false, "");
    label(6, 160, 56, false, "");
    label(19, 160, 80, false, "");

    for (int i = 0; i < kMaxCallArgs; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setValidator(new SingleByteValidator(edit));
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        edit->setGeometry(16, 0, 121, 21);
        edit->hide();
        edit_[i] = edit;
        label(7 + i, 160, 0, false, "");
        label_[7 + i]->hide();
    }
    edit_[1]->installEventFilter(this);

    button1_ = new QPushButton(QStringLiteral("OK"), this);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(436, 0, 75, 25);
    button2_ = new QPushButton(QStringLiteral("Cancel"), this);
    button2_->setObjectName(QStringLiteral("Button2"));
    button2_->setGeometry(332, 0, 75, 25);
    for (QPushButton* b : {button1_, button2_}) {
        // Enter must not press a button.
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(button1_, &QPushButton::clicked, this, &TFuncAssistEditForm::Button1Click);
    connect(button2_, &QPushButton::clicked, this, [this] { setModalResult(kModalCancel); });

    for (int k = 0; k < kModeBitCount; ++k) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(k + 1));
        box->setProperty("tag", k);
        box->setGeometry(kTextLeft, 0, 360, 17);
        box->hide();
        // Toggled, not clicked: a state set from code reaches the handler
        // too, as the mode-bit synchronisation expects and guards against.
        connect(box, &QCheckBox::toggled, this, &TFuncAssistEditForm::CheckBox1Click);
        check_[k] = box;
    }

    // Edit1..Edit11, OK, Cancel, CheckBox1..CheckBox8.
    QWidget* previous = edit_[0];
    auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (int i = 1; i < kMaxCallArgs; ++i) chain(edit_[i]);
    chain(button1_);
    chain(button2_);
    for (QCheckBox* box : check_) chain(box);

    FormCreate();
}

void TFuncAssistEditForm::FormCreate() { setWindowTitle(QStringLiteral("Travin Function Assistant")); }

void TFuncAssistEditForm::applyLayout(const CallEditorLayout& l)
{
    auto setText = [](QLabel* label, const std::string& text) { label->setText(fromSingleByte(text)); };
    setText(label_[1], l.nameCaption);
    setText(label_[4], l.name);
    setText(label_[5], l.group);
    setText(label_[6], l.description);
    setText(label_[19], l.returnText);
    label_[18]->setVisible(l.showReturn);
    label_[19]->setVisible(l.showReturn);

    for (int i = 0; i < kMaxCallArgs; ++i) {
        const CallEditorLayout::Row& row = l.rows[static_cast<std::size_t>(i)];
        QLineEdit* edit = ParamEditFor(i);
        QLabel* label = ParamLabelFor(i);
        if (row.visible) {
            edit->setText(fromSingleByte(row.text));
            edit->move(16, row.editTop);
            setText(label, row.description);
            label->move(160, row.labelTop);
        }
        edit->setVisible(row.visible);
        label->setVisible(row.visible);
    }
    for (int k = 0; k < kModeBitCount; ++k) {
        const CallEditorLayout::Box& box = l.boxes[static_cast<std::size_t>(k)];
        QCheckBox* check = BitCheckBoxFor(k);
        if (box.visible) {
            check->setText(fromSingleByte(box.caption));
            check->move(160, box.top);
            check->setEnabled(true);
        }
        check->setVisible(box.visible);
    }
    button1_->move(436, l.buttonTop);
    button2_->move(332, l.buttonTop);
    setFixedSize(kClientWidth, l.clientHeight);
}

int TFuncAssistEditForm::showModal()
{
    ending_ = false;
    // The client rectangle, not the frame position: placing by the frame
    // lets a window manager's title bar shift the window on every showing.
    if (keepPlace_)
        setGeometry(place_);
    else
        CentreOnOwner(this);
    keepPlace_ = false;
    return exec();
}

void TFuncAssistEditForm::setModalResult(int result)
{
    ending_ = true;
    keepPlace_ = result == kModalReshow;
    if (keepPlace_)
        place_ = geometry();
    done(result);
}

std::string TFuncAssistEditForm::editText(int position) const { return toSingleByte(ParamEditFor(position)->text()); }

void TFuncAssistEditForm::setEditText(int position, const std::string& text)
{
    ParamEditFor(position)->setText(fromSingleByte(text));
}

bool TFuncAssistEditForm::editVisible(int position) const
{
    // The layout's own visibility, so it holds before the window shows.
    return !ParamEditFor(position)->isHidden();
}

bool TFuncAssistEditForm::bitChecked(int bit) const { return BitCheckBoxFor(bit)->isChecked(); }

void TFuncAssistEditForm::setBit(int bit, bool enabled, bool checked)
{
    QCheckBox* box = BitCheckBoxFor(bit);
    box->setEnabled(enabled);
    box->setChecked(checked);
}

void TFuncAssistEditForm::CheckBox1Click()
{
    if (events_) events_->CheckBox1Click();
}

void TFuncAssistEditForm::Edit2KeyUp()
{
    if (events_) events_->Edit2KeyUp();
}

void TFuncAssistEditForm::Button1Click()
{
    if (events_) events_->Button1Click();
}

QLineEdit* TFuncAssistEditForm::ParamEditFor(int position) const
{
    return position >= 0 && position < kMaxCallArgs ? edit_[position] : edit_[0];
}

QLabel* TFuncAssistEditForm::ParamLabelFor(int position) const
{
    return position >= 0 && position < kMaxCallArgs ? label_[7 + position] : label_[7];
}

QCheckBox* TFuncAssistEditForm::BitCheckBoxFor(int bit) const
{
    return bit >= 0 && bit < kModeBitCount ? check_[bit] : check_[0];
}

bool TFuncAssistEditForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_[1] && event->type() == QEvent::KeyRelease)
        Edit2KeyUp();
    return QDialog::eventFilter(watched, event);
}

void TFuncAssistEditForm::keyPressEvent(QKeyEvent* event)
{
    if (!SwallowDialogKeys(event)) QDialog::keyPressEvent(event);
}

void TFuncAssistEditForm::closeEvent(QCloseEvent* event)
{
    // Only OK and Cancel end the editor (no close box, but a window manager
    // may still ask).
    if (!ending_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

}  // namespace travin
