// The port dialog "Select COM Port": eight radio items COM1..COM8 and OK.
// Created once at start-up and reused; shown modally by showWith().
// OK closes it and hands the checked item to PortSelection::Button1Click.
// Escape does nothing: OK is the only way out, so that the port chosen is
// always the one the user confirmed. "Devices..." opens the serial devices
// window; a COM number given a device there becomes the checked item.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace travin {

class SerialDevicesForm;
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
    QPushButton* DevicesButton = nullptr;
    // The serial devices window, made on first use (needs bind()).
    SerialDevicesForm* devicesForm = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Button1Click();
    void DevicesButtonClick();

    Workbench* wb = nullptr;
};

}  // namespace travin
