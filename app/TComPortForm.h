// The port dialog "Select COM Port": eight radio items COM1..COM8 and OK.
// Created once at start-up and reused; shown modally by showWith().
// OK closes it and hands the checked item to PortSelection::Button1Click.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace travin {

class Workbench;

class TComPortForm : public QDialog {
    Q_OBJECT
public:
    explicit TComPortForm(QWidget* parent);

    void bind(Workbench& workbench);
    // Checks radio item `item` (0..7), shows the dialog modally and returns
    // when it closes.
    void showWith(int item);

    // The controls, for the window's tests.
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* radioItems = nullptr;
    QPushButton* Button1 = nullptr;

private:
    void Button1Click();

    Workbench* wb = nullptr;
};

}  // namespace travin
