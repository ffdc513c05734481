#include "app/TComPortForm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "app/SerialDevicesForm.h"
#include "workbench/Workbench.h"

namespace travin {

namespace {
constexpr int kClientWidth = 185;
constexpr int kClientHeight = 168;
constexpr int kItems = 8;
// The radio items stack down the group's left side, below its frame.
constexpr int kItemLeft = 8;
constexpr int kItemTop = 16;
constexpr int kItemPitch = 18;
}  // namespace

TComPortForm::TComPortForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Select COM Port");
    // A fixed border and a title without any title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    RadioGroup1 = new QGroupBox(this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setGeometry(0, 0, kClientWidth, kClientHeight);
    radioItems = new QButtonGroup(this);
    radioItems->setExclusive(true);
    for (int i = 0; i < kItems; ++i) {
        auto* item = new QRadioButton(QString("COM%1").arg(i + 1), RadioGroup1);
        item->setObjectName(QString("COM%1").arg(i + 1));
        item->setGeometry(kItemLeft, kItemTop + i * kItemPitch, 72, kItemPitch);
        radioItems->addButton(item, i);
    }

    Button1 = new QPushButton("OK", RadioGroup1);
    Button1->setObjectName("Button1");
    Button1->setGeometry(88, 64, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    DevicesButton = new QPushButton("Devices...", RadioGroup1);
    DevicesButton->setObjectName("DevicesButton");
    DevicesButton->setGeometry(88, 100, 75, 25);
    DevicesButton->setAutoDefault(false);
    connect(DevicesButton, &QPushButton::clicked, this, [this] { DevicesButtonClick(); });
}

void TComPortForm::keyPressEvent(QKeyEvent* event) {
    // The dialog's default would close it as if cancelled, which it has no
    // button for; the label and the reopen then went ahead regardless.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TComPortForm::DevicesButtonClick() {
    if (!wb) return;
    if (!devicesForm) {
        devicesForm = new SerialDevicesForm(wb->catalogue, this);
        devicesForm->onAssigned = [this](int port) {
            if (QAbstractButton* item = radioItems->button(port - 1)) item->setChecked(true);
        };
    }
    devicesForm->showFor(radioItems->checkedId() + 1);
}

void TComPortForm::bind(Workbench& workbench) { wb = &workbench; }

void TComPortForm::showWith(int item) {
    if (QAbstractButton* button = radioItems->button(item)) button->setChecked(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    exec();
}

void TComPortForm::Button1Click() {
    const int item = radioItems->checkedId();
    accept();
    if (wb) wb->port.Button1Click(item);
}

}  // namespace travin
