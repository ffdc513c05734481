// The call editor window: one catalogue entry, an edit field per parameter
// and, for a mode byte, eight bit boxes. The behaviour lives in CallEditor;
// this window shows what it is given and forwards its events.
#pragma once

#include "assistant/CallEditor.h"

#include <QDialog>
#include <QRect>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace travin {

class TFuncAssistEditForm : public QDialog, public CallEditorScreen {
    Q_OBJECT
public:
    explicit TFuncAssistEditForm(QWidget* parent = nullptr);

    // CallEditorScreen
    void setEvents(CallEditorEvents* events) override { events_ = events; }
    void applyLayout(const CallEditorLayout& layout) override;
    int showModal() override;
    void setModalResult(int result) override;
    std::string editText(int position) const override;
    void setEditText(int position, const std::string& text) override;
    bool editVisible(int position) const override;
    bool bitChecked(int bit) const override;
    void setBit(int bit, bool enabled, bool checked) override;

    void FormCreate();
    void CheckBox1Click();
    void Edit2KeyUp();
    void Button1Click();

    // Out-of-range positions give the row's first control.
    QLineEdit* ParamEditFor(int position) const;
    QLabel* ParamLabelFor(int position) const;
    QCheckBox* BitCheckBoxFor(int bit) const;

    QPushButton* okButton() const { return button1_; }
    QPushButton* cancelButton() const { return button2_; }

    // Only OK and Cancel end the editor.
    void reject() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CallEditorEvents* events_ = nullptr;
    QLabel* label_[20] = {};   // Label1..Label19 at their numbers
    QLineEdit* edit_[kMaxCallArgs] = {};
    QCheckBox* check_[kModeBitCount] = {};
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
    // Set when a showing ends only to be shown again (a blank field): the
    // next showing puts the window back where this one was.
    bool keepPlace_ = false;
    QRect place_;
    bool ending_ = false;
};

}  // namespace travin
