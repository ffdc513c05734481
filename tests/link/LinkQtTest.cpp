// The port dialog and the monitor's Qt timer, offscreen.
#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"

#include <QApplication>
#include <QClipboard>
#include <QButtonGroup>
#include <QEventLoop>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTimer>
#include <filesystem>

#include "LinkBench.h"
#include "link/CommandTable.h"
#include "app/ConsolePane.h"
#include "app/MonitorTimerQt.h"
#include "app/QtNotices.h"
#include "app/SerialDevicesForm.h"
#include "app/TComPortForm.h"
#include "link/SerialCatalogue.h"
#include "tests/support/TestFolder.h"

namespace travin::testing {
namespace {

void ensureApp() { ensureQtApplication(); }

void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(PortDialog, Layout) {
    ensureApp();
    TComPortForm form(nullptr);
    EXPECT_EQ(form.windowTitle(), "Select COM Port");
    EXPECT_EQ(form.minimumSize(), QSize(185, 168));
    EXPECT_EQ(form.maximumSize(), QSize(185, 168));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(form.RadioGroup1->geometry(), QRect(0, 0, 185, 168));
    ASSERT_EQ(form.radioItems->buttons().size(), 8);
    for (int i = 0; i < 8; ++i) {
        QAbstractButton* item = form.radioItems->button(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), QString("COM%1").arg(i + 1));
        EXPECT_EQ(item->parentWidget(), form.RadioGroup1);
        // Every item lies inside the group and clear of the OK button.
        EXPECT_TRUE(form.RadioGroup1->rect().contains(item->geometry()));
        EXPECT_FALSE(item->geometry().intersects(form.Button1->geometry()));
    }
    EXPECT_EQ(form.Button1->text(), "OK");
    EXPECT_EQ(form.Button1->parentWidget(), form.RadioGroup1);
    EXPECT_EQ(form.Button1->geometry(), QRect(88, 64, 75, 25));
}

TEST(PortDialog, MenuShowsItModallyAndOkChoosesThePort) {
    ensureApp();
    LinkBench lb;
    TComPortForm form(nullptr);
    form.bind(lb.wb());
    lb.bench.main.onPortDialog = [&](int item) { form.showWith(item); };
    lb.state().selectedPort = 3;
    int checkedWhenShown = -1;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        checkedWhenShown = form.radioItems->checkedId();
        modal = form.isVisible() && QApplication::activeModalWidget() == &form;
        form.radioItems->button(5)->click();
        form.Button1->click();
    });
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(checkedWhenShown, 2);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(lb.state().selectedPort, 6);
    EXPECT_EQ(lb.bench.main.portLabel, "COM6");
    EXPECT_TRUE(lb.state().reopenRequested);

    // Reused: shown again with the new choice, closed without OK.
    QTimer::singleShot(0, [&] {
        checkedWhenShown = form.radioItems->checkedId();
        form.radioItems->button(0)->click();
        form.reject();
    });
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(checkedWhenShown, 5);
    EXPECT_EQ(lb.state().selectedPort, 6);
}

TEST(PortDialog, EscapeLeavesItOpenWithTheChoiceUntilOk) {
    ensureApp();
    LinkBench lb;
    TComPortForm form(nullptr);
    form.bind(lb.wb());
    lb.bench.main.onPortDialog = [&](int item) { form.showWith(item); };
    bool openAfterEscape = false;
    QTimer::singleShot(0, [&] {
        form.radioItems->button(4)->click();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form.radioItems->button(4), &esc);
        openAfterEscape = form.isVisible();
        if (form.isVisible()) form.Button1->click();
    });
    lb.wb().port.SelectPortMenuClick();
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(lb.state().selectedPort, 5);
}

class FixedDevices : public SerialDeviceSource {
public:
    std::vector<SerialDevice> list;
    std::vector<SerialDevice> listDevices() override { return list; }
};

const SerialDevice kFtdi{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                         "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, ""};
const SerialDevice kCh340{"/dev/ttyUSB1", "", "USB Serial", "QinHeng", "", 0x1a86, 0x7523, ""};
const SerialDevice kBuiltIn{"/dev/ttyS0", "", "16550A", "", "", -1, -1, ""};

QStringList rowTexts(QTableWidget* table, int row) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << (table->item(row, c) ? table->item(row, c)->text() : "");
    return cells;
}

TEST(DevicesWindow, ShowsWhatEachPortOpensAndTheDevicesAsTheyComeAndGo) {
    ensureApp();
    LinkBench lb;
    FixedDevices devices;
    devices.list = {kFtdi, kBuiltIn};
    lb.wb().catalogue.useSource(devices);
    std::filesystem::create_symlink(lb.folder.path + "gone", lb.folder.path + "com2");
    SerialDevicesForm form(lb.wb().catalogue, nullptr);

    ASSERT_EQ(form.PortTable->rowCount(), 8);
    const QString ttyS0 = std::filesystem::exists("/dev/ttyS0") ? "/dev/ttyS0" : "nothing there";
    EXPECT_EQ(rowTexts(form.PortTable, 0), QStringList({"COM1", ttyS0}));
    EXPECT_EQ(rowTexts(form.PortTable, 1), QStringList({"COM2", QString::fromStdString(lb.folder.path) + "gone (not there)"}));
    ASSERT_EQ(form.DeviceTable->rowCount(), 2);
    EXPECT_EQ(rowTexts(form.DeviceTable, 0), QStringList({"/dev/ttyS0", "16550A", "", "", "", ""}));
    EXPECT_EQ(rowTexts(form.DeviceTable, 1),
              QStringList({"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", "0403:6001",
                           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}));

    // Plugged in while the window is open: the next refresh shows it, and
    // the chosen device stays chosen.
    form.DeviceTable->selectRow(1);
    devices.list.push_back(kCh340);
    form.show();
    runEventsFor(1300);
    ASSERT_EQ(form.DeviceTable->rowCount(), 3);
    EXPECT_EQ(form.DeviceTable->item(2, 0)->text(), "/dev/ttyUSB1");
    EXPECT_EQ(form.DeviceTable->currentRow(), 1);
    devices.list.clear();
    form.refresh();
    EXPECT_EQ(form.DeviceTable->rowCount(), 0);
    EXPECT_FALSE(form.AssignButton->isEnabled());
    form.hide();
}

TEST(DevicesWindow, GivingADeviceToAPortWritesItsLinkAndChecksThatPort) {
    ensureApp();
    LinkBench lb;
    FixedDevices devices;
    devices.list = {kCh340, kFtdi};
    lb.wb().catalogue.useSource(devices);
    TComPortForm form(nullptr);
    form.bind(lb.wb());
    lb.bench.main.onPortDialog = [&](int item) { form.showWith(item); };
    QString assignText, portRow;
    bool removable = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            SerialDevicesForm* devicesForm = form.devicesForm;
            if (!devicesForm || !devicesForm->isVisible()) return;
            devicesForm->PortTable->selectRow(2);
            devicesForm->DeviceTable->selectRow(0);   // sorted: ttyUSB0 first
            assignText = devicesForm->AssignButton->text();
            devicesForm->AssignButton->click();
            portRow = devicesForm->PortTable->item(2, 1)->text();
            removable = devicesForm->RemoveButton->isEnabled();
            devicesForm->CloseButton->click();
        });
        form.DevicesButton->click();
        form.Button1->click();
    });
    lb.wb().port.SelectPortMenuClick();
    EXPECT_EQ(assignText, "Give to COM3");
    EXPECT_EQ(std::filesystem::read_symlink(lb.folder.path + "com3").string(), kFtdi.byIdPath);
    // No such adapter here, so the new link points nowhere, and says so.
    EXPECT_EQ(portRow.toStdString(), kFtdi.byIdPath + " (not there)");
    EXPECT_TRUE(removable);
    EXPECT_EQ(lb.state().selectedPort, 3);
}

TEST(DevicesWindow, GivingANetworkPortToAPortWritesItsAddressAndShowsIt) {
    ensureApp();
    LinkBench lb;
    FixedDevices devices;
    lb.wb().catalogue.useSource(devices);
    SerialDevicesForm form(lb.wb().catalogue, nullptr);
    form.selectPort(4);
    EXPECT_EQ(form.NetworkButton->text(), "Give a network port to COM4...");
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        offered = box->textValue();
        box->setTextValue(" rfc2217://127.0.0.1:3001 ");
        box->accept();
    });
    form.NetworkButton->click();
    EXPECT_EQ(offered, "rfc2217://");
    EXPECT_EQ(readBytes(lb.folder.path + "com4"), "rfc2217://127.0.0.1:3001\n");
    EXPECT_EQ(rowTexts(form.PortTable, 3), QStringList({"COM4", "rfc2217://127.0.0.1:3001 (network)"}));
    EXPECT_EQ(form.MessageLabel->text(), "COM4 now opens rfc2217://127.0.0.1:3001");
    EXPECT_TRUE(form.RemoveButton->isEnabled());

    // A malformed address changes nothing and says why; the box offered the
    // address that holds.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        offered = box->textValue();
        box->setTextValue("rfc2217://lab-pi");
        box->accept();
    });
    form.NetworkButton->click();
    EXPECT_EQ(offered, "rfc2217://127.0.0.1:3001");
    EXPECT_TRUE(form.MessageLabel->text().startsWith("not a network port")) << form.MessageLabel->text().toStdString();
    EXPECT_EQ(readBytes(lb.folder.path + "com4"), "rfc2217://127.0.0.1:3001\n");
}

// The program's input box takes no more than the board is sent: what the user
// sees when pressing OK is the answer, never a longer one cut short unseen
// ("000000000042" must not reach the program as "00000000004").
TEST(UserInputBox, RefusesTheTwelfthCharacterSoTheAnswerIsWhatWasShown) {
    ensureApp();
    LinkBench lb;
    QtNotices notices;
    Workbench wb(Screens{lb.bench.listing, lb.bench.console, notices, lb.bench.main, lb.bench.timer, lb.bench.clock,
                         lb.bench.desktop},
                 lb.folder.path);
    QString shown;
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        caption = box->windowTitle();
        auto* line = box->findChild<QLineEdit*>();
        if (!line) return;
        line->selectAll();
        for (const QChar c : QString("000000000042")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(line, &press);
        }
        shown = line->text();
        box->accept();
    });
    const std::string prompt = "Position";
    wb.link.StoreReplyData(command::GetInputPrompt, reinterpret_cast<const std::uint8_t*>(prompt.data()),
                           static_cast<int>(prompt.size()));
    EXPECT_EQ(caption.toStdString(), "User Input");
    EXPECT_EQ(shown.toStdString(), "00000000004");
    EXPECT_EQ(std::string(wb.state.inputAnswer.data()), shown.toStdString());

    // The other boxes keep no such limit: Send Character takes what is typed.
    std::string typed;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        box->setTextValue("a much longer text than eleven");
        box->accept();
    });
    ASSERT_TRUE(notices.inputBox("Caption Display", "Enter character to send", typed));
    EXPECT_EQ(typed, "a much longer text than eleven");

    // A pasted text of several lines keeps its first line.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        auto* line = box ? box->findChild<QLineEdit*>() : nullptr;
        if (!line) return;
        line->clear();
        QApplication::clipboard()->setText("42\r\nrun again");
        line->paste();
        box->accept();
    });
    ASSERT_TRUE(notices.inputBox("Caption Display", "Enter character to send", typed));
    EXPECT_EQ(typed, "42");
}

// A workbench over the fakes, but with the Qt timer as its monitor timer.
struct QtTimerBench : LinkBench {
    MonitorTimerQt qtTimer{nullptr};
    Workbench qtWb{Screens{bench.listing, bench.console, bench.notices, bench.main, qtTimer, bench.clock,
                           bench.desktop},
                   folder.path};
    QtTimerBench() {
        qtTimer.bind(qtWb);
        qtWb.console.DebuggerClearWindowExecute();
    }
};

TEST(MonitorTimer, TicksComeAboutEveryHundredMilliseconds) {
    ensureApp();
    QtTimerBench tb;
    // A port that cannot open, so every tick is a cheap counted port tick.
    std::filesystem::create_symlink(tb.folder.path + "absent", tb.folder.path + "com1");
    tb.qtTimer.setTimerEnabled(true);
    EXPECT_TRUE(tb.qtTimer.timerEnabled());
    runEventsFor(1050);
    const int ticks = tb.qtWb.state.portTickCount - 1;
    EXPECT_GE(ticks, 5);   // a loaded machine fires late, never early
    EXPECT_LE(ticks, 10);
    // Each tick switched it on again at its end.
    EXPECT_TRUE(tb.qtTimer.timerEnabled());
    tb.qtTimer.setTimerEnabled(false);
    runEventsFor(250);
    EXPECT_EQ(tb.qtWb.state.portTickCount - 1, ticks);
}

TEST(MonitorTimer, FiringInsideAModalBoxOfAnExchangeDoesNothing) {
    ensureApp();
    QtTimerBench tb;
    ScriptedPeer peer(tb.folder.path, 1);
    peer.onFrame = [](const ScriptedPeer::Frame&) { return std::vector<std::uint8_t>{0x20, 0x21}; };
    peer.start();
    tb.qtWb.state.portHandle = tb.qtWb.serial.SioOpen("COM1", 19200);
    ASSERT_NE(tb.qtWb.state.portHandle, kInvalidHandle);
    tb.qtWb.state.reopenRequested = false;
    tb.qtWb.state.detected = true;
    // Each failure box runs a nested event loop with the timer on, as after
    // a nested SendCommand that switched it on.
    tb.bench.notices.onNotice = [&](const std::string&) {
        tb.qtTimer.setTimerEnabled(true);
        runEventsFor(350);
    };
    tb.qtWb.link.SendCommand(command::RunProgram, fixedPayload(command::RunProgram));
    EXPECT_EQ(tb.bench.notices.notices.size(), 2u);
    EXPECT_EQ(tb.qtWb.monitor.skippedTicks(), 2);
    EXPECT_EQ(tb.qtWb.state.portTickCount, 1);
    EXPECT_EQ(peer.frames().size(), 1u);
    tb.qtTimer.setTimerEnabled(false);
}

// Console bytes through the core's rule into the real pane: a bare CR stays
// inside its line, and CR LF is one line break.
TEST(ConsolePaneLines, BareCarriageReturnDoesNotBreakTheLine) {
    ensureApp();
    FakeListing listing;
    ConsolePane pane;
    FakeNotices notices;
    FakeMainView main;
    FakeTimer timer;
    FakeClock clock;
    FakeDesktop desktop;
    Workbench wb(Screens{listing, pane, notices, main, timer, clock, desktop}, "/nonexistent-travin-folder/");
    wb.console.DebuggerClearWindowExecute();
    wb.console.ConsoleWrite("pos 1\rpos 2\r\nnext\n");
    wb.console.flush();
    ASSERT_EQ(pane.document()->blockCount(), 3) << pane.toPlainText().toStdString();
    EXPECT_EQ(pane.document()->findBlockByNumber(0).text().toStdString(), " pos 1pos 2");
    EXPECT_EQ(pane.document()->findBlockByNumber(1).text().toStdString(), " next");
    // The lines keep every byte as it came.
    EXPECT_EQ(pane.consoleLines(), (std::vector<std::string>{" pos 1\rpos 2\r", " next", " "}));
}

}  // namespace
}  // namespace travin::testing
