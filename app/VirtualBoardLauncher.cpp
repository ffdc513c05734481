#include "app/VirtualBoardLauncher.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/SingleByteQt.h"
#include "app/TComPortForm.h"
#include "app/HandlerBarrier.h"
#include "link/SerialCatalogue.h"
#include "workbench/Workbench.h"

namespace travin {

namespace {

constexpr int kComCount = 8;
// How long a stopping board may take to remove its link before it is killed.
constexpr int kStopWaitMs = 3000;

}  // namespace

VirtualBoardLauncher::VirtualBoardLauncher(Workbench& workbench, QObject* parent) : QObject(parent), wb(workbench) {
    const QString beside = QCoreApplication::applicationDirPath() + "/travin-board";
    program = QFileInfo(beside).isExecutable() ? beside : QStandardPaths::findExecutable("travin-board");
    tell = [this](const QString& text) { wb.screens.notices.ShowNotice(toCorePath(text)); };
}

VirtualBoardLauncher::~VirtualBoardLauncher() { stop(); }

QString VirtualBoardLauncher::linkPath(int number) const {
    return fromCorePath(comLinkFolder(wb.locations.configFolder)) + QString("com%1").arg(number);
}

int VirtualBoardLauncher::freeComNumber(int wanted) const {
    // A COM number with a link has a device (or a board) already; the one
    // the workbench talks to a detected board on is taken too.
    for (int k = 0; k < kComCount; ++k) {
        const int number = (wanted - 1 + k) % kComCount + 1;
        const bool linked = QFileInfo(linkPath(number)).isSymLink() || QFileInfo::exists(linkPath(number));
        const bool inUse = wb.state.detected && wb.state.openPort == number;
        if (!linked && !inUse) return number;
    }
    return 0;
}

bool VirtualBoardLauncher::running() const { return process && process->state() != QProcess::NotRunning; }

int VirtualBoardLauncher::start(int wanted) {
    if (running()) return com;
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        tell("The virtual board cannot start: travin-board was not found beside the workbench or on the PATH.");
        return 0;
    }
    const int number = freeComNumber(wanted);
    if (number == 0) {
        tell("The virtual board cannot start: COM1 to COM8 are all taken.");
        return 0;
    }
    delete process;
    process = new QProcess(this);
    process->setProgram(program);
    process->setArguments({"--com", QString::number(number), "--link-dir",
                           fromCorePath(comLinkFolder(wb.locations.configFolder)), "--eeprom",
                           fromCorePath(wb.locations.stateFolder) + "board.eeprom"});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(process, &QProcess::finished, this, [this] {
        com = 0;
        emit stateChanged();
    });
    process->start();
    // The board is ready once its link is there; waiting on the process
    // both sleeps and notices an early end.
    QElapsedTimer clock;
    clock.start();
    bool ready = false;
    if (process->waitForStarted(startTimeoutMs)) {
        while (!ready && clock.elapsed() < startTimeoutMs) {
            ready = QFileInfo(linkPath(number)).isSymLink();
            if (!ready && process->waitForFinished(50)) break;
        }
    }
    if (!ready) {
        const QString why = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        stop();
        tell("The virtual board cannot start on COM" + QString::number(number) +
             (why.isEmpty() ? QString(".") : ": " + why));
        return 0;
    }
    com = number;
    emit stateChanged();
    return com;
}

void VirtualBoardLauncher::stop() {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        // Asked to stop, the board removes its link; a board that does not
        // go is killed.
        process->terminate();
        if (!process->waitForFinished(kStopWaitMs)) {
            process->kill();
            process->waitForFinished(kStopWaitMs);
        }
    }
    // A board that had to be killed left its link behind.
    if (com != 0 && QFileInfo(linkPath(com)).isSymLink()) QFile::remove(linkPath(com));
    com = 0;
    process->disconnect(this);
    process->deleteLater();
    process = nullptr;
    emit stateChanged();
}

QPushButton* addVirtualBoardButton(TComPortForm& dialog, VirtualBoardLauncher& board) {
    // Below Devices..., in the dialog's free corner; its size stays.
    auto* button = new QPushButton(dialog.RadioGroup1);
    button->setObjectName("VirtualBoardButton");
    button->setGeometry(84, 130, 98, 34);
    button->setAutoDefault(false);
    const auto caption = [&dialog, &board, button] {
        if (board.running()) {
            button->setText(QString("Stop the virtual\nboard on COM%1").arg(board.comNumber()));
            return;
        }
        const int wanted = dialog.radioItems->checkedId() + 1;
        const int free = board.freeComNumber(wanted < 1 ? 1 : wanted);
        button->setText(free ? QString("Start a virtual\nboard on COM%1").arg(free)
                             : QStringLiteral("Start a virtual\nboard"));
    };
    caption();
    QObject::connect(dialog.radioItems, &QButtonGroup::idToggled, button, caption);
    QObject::connect(&board, &VirtualBoardLauncher::stateChanged, button, caption);
    QObject::connect(button, &QPushButton::clicked, button, [&dialog, &board] {
        callHandler([&dialog, &board] {
            if (board.running()) {
                board.stop();
                return;
            }
            // The new board's number is checked; OK then selects it.
            const int number = board.start(dialog.radioItems->checkedId() + 1);
            if (QAbstractButton* item = dialog.radioItems->button(number - 1)) {
                item->setChecked(true);
                item->setToolTip("virtual board");
            }
        });
    });
    return button;
}

}  // namespace travin
