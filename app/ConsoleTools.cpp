#include "app/ConsoleTools.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/ConsolePane.h"
#include "app/RunningLight.h"
#include "app/SingleByteQt.h"
#include "app/TMainForm.h"
#include "core/LineTimes.h"
#include "plot/TPlotForm.h"

namespace travin {

namespace {

QMenu* menuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions()) {
        if (a->menu() && a->menu()->title().remove('&') == title) return a->menu();
    }
    return nullptr;
}

// Puts `action` after the entry named `after` (at the end when it is
// missing).
void insertAfter(QMenu* menu, QAction* action, const char* after) {
    const QList<QAction*> all = menu->actions();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i]->objectName() == after) {
            menu->insertAction(i + 1 < all.size() ? all[i + 1] : nullptr, action);
            return;
        }
    }
    menu->addAction(action);
}

}  // namespace

ConsoleTools::ConsoleTools(TMainForm& mainForm) : QObject(&mainForm), form(mainForm) {
    setObjectName("ConsoleTools");
    Workbench& wb = form.workbench();
    ConsolePane* pane = form.Memo1;
    wb.console.setLineLimit(kHistoryLines);
    pane->setHistoryLength(kHistoryLines);
    pane->rememberTimesIn(fromCorePath(wb.locations.configFolder) + "tnconsole.ini");

    LogAction = new QAction("&Log to File", this);
    LogAction->setObjectName("LogToFileMenu");
    LogAction->setCheckable(true);
    LogAction->setToolTip("Append what the board prints, with each line's time, to a file a day");
    connect(LogAction, &QAction::triggered, this, [this](bool on) {
        if (on) startLog();
        else stopLog();
    });
    LogAsAction = new QAction("Log to File &As\u2026", this);
    LogAsAction->setObjectName("LogToFileAsMenu");
    LogAsAction->setToolTip("Append what the board prints, with each line's time, to a file you pick");
    connect(LogAsAction, &QAction::triggered, this, [this] {
        const QString chosen = chooseLogPath(fromCorePath(logFolder() + ConsoleLog::dailyFileName(wallClockMs())));
        if (!chosen.isEmpty()) startLogFile(toCorePath(chosen));
    });
    chooseLogPath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(&form, "Log to File", suggested, "Log files (*.log);;All files (*)",
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    pane->addContextAction(LogAction);
    pane->addContextAction(LogAsAction);

    QMenuBar* bar = form.menuBar();
    if (QMenu* file = menuTitled(bar, "File")) insertAfter(file, pane->SaveAsAction, "SaveAsMenu");
    if (QMenu* edit = menuTitled(bar, "Edit")) insertAfter(edit, pane->CopyAllAction, "CopyMenu");
    if (QMenu* debugger = menuTitled(bar, "Debugger")) {
        insertAfter(debugger, pane->TimesAction, "ClearWindowMenu");
        insertAfter(debugger, LogAction, "TimestampsMenu");
        insertAfter(debugger, LogAsAction, "LogToFileMenu");
    }

    LoggingLabel = new QLabel(form.StatusBar1);
    LoggingLabel->setObjectName("LoggingPanel");
    form.StatusBar1->addPermanentWidget(LoggingLabel);
    LoggingLabel->hide();
    portProblemWidth = form.PortProblemPanel->width();

    log.onStopped = [this](const std::string& why) {
        // Told from inside the console's hand-over (or a stop): the box waits
        // for it.
        const QString text = fromCorePath(why);
        QTimer::singleShot(0, this, [this, text] { logFailed(text); });
    };
    // Said in the status bar, not in a box: the log goes on, and says in
    // itself where it missed bytes.
    log.onBehind = [this](const std::string& note) {
        logBehind = fromCorePath(note);
        showLogging();
    };

    // For measurements: the console logged from the start into the named file.
    if (qEnvironmentVariableIsSet("TRAVIN_CONSOLE_LOG")) startLogFile(toCorePath(qEnvironmentVariable("TRAVIN_CONSOLE_LOG")));

    // A new run starts a new line in the plot.
    connect(form.RunningLightShape, &RunningLight::colourChanged, this, [this](const QColor& colour) {
        if (colour == QColor(0, 255, 0) && form.PlotForm) form.PlotForm->recorder().newRun();
    });
}

// The main window lets go of every console listener before its workbench goes.
ConsoleTools::~ConsoleTools() = default;

std::string ConsoleTools::logFolder() const { return form.workbench().locations.stateFolder + "logs/"; }

bool ConsoleTools::startLog() {
    // What the console holds but has not handed over belongs before the log.
    form.workbench().console.flush();
    const bool started = log.startDaily(logFolder(), wallClockMs());
    if (!started) logFailed(fromCorePath(log.problem()));
    showLogging();
    return started;
}

bool ConsoleTools::startLogFile(const std::string& path) {
    form.workbench().console.flush();
    const bool started = log.startFile(path);
    if (!started) logFailed(fromCorePath(log.problem()));
    showLogging();
    return started;
}

void ConsoleTools::stopLog() {
    form.workbench().console.flush();
    log.stop();
    showLogging();
}

void ConsoleTools::showLogging() {
    Console& console = form.workbench().console;
    const bool on = log.active();
    if (on) console.addBytesListener(&log);
    else console.removeBytesListener(&log);
    LogAction->setChecked(on);
    const QString path = QDir::toNativeSeparators(fromCorePath(log.path()));
    if (!on) logBehind.clear();
    const QString behind = logBehind.isEmpty() ? QString() : " (the disk is behind)";
    LoggingLabel->setText(on ? "Logging to " + QFileInfo(path).fileName() + behind : QString());
    LoggingLabel->setToolTip(on ? logBehind.isEmpty() ? "The board's output is logged to " + path : logBehind
                                : QString());
    // The panels have fixed widths: the port's problem gives the note room.
    const int room = on ? LoggingLabel->sizeHint().width() + 8 : 0;
    form.PortProblemPanel->setFixedWidth(std::max(0, portProblemWidth - room));
    LoggingLabel->setVisible(on);
}

void ConsoleTools::logFailed(const QString& why) {
    showLogging();
    QMessageBox::critical(&form, QString(), why);
}

}  // namespace travin
