// The assistant menu window: every catalogue entry as a blue, underlined,
// clickable name in four group columns. A click reaches Label1Click with the
// label's tag (its catalogue index).
#pragma once

#include "assistant/CallEditor.h"
#include "assistant/FuncAssistCatalogue.h"

#include <QDialog>
#include <QLabel>

class QPushButton;

namespace travin {

// A label that reports clicks, as the menu's entry names need.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    TClickLabel(const QString& text, int tag, QWidget* parent);
    int tag() const { return tag_; }

signals:
    void clicked(int tag);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int tag_;
    bool pressed_ = false;
};

class TFuncAssistMenuForm : public QDialog, public FuncAssistMenuScreen {
    Q_OBJECT
public:
    explicit TFuncAssistMenuForm(QWidget* parent = nullptr);

    void setEvents(FuncAssistMenuEvents* events) override { events_ = events; }
    void showModal() override;
    void setModalResult(int result) override;

    void FormCreate();
    void Label1Click(int tag);

    // The entry label carrying catalogue index `tag`.
    TClickLabel* entryLabel(int tag) const;
    QPushButton* cancelButton() const { return cancel_; }

    // The close box ends the showing with the cancel result.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    FuncAssistMenuEvents* events_ = nullptr;
    TClickLabel* entries_[FuncAssistEntryCount] = {};
    QPushButton* cancel_ = nullptr;
};

}  // namespace travin
