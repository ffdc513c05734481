// The console's tools in the main window: Copy All (Edit menu), Save
// Input-Output As (File menu), Timestamps and Log to File (Debugger menu),
// the same in the Input-Output pane's context menu, the logging note in the
// status bar, and the console's history length.
//
// The main window makes one, as its child, once its menus stand; it finds
// the menus by their titles and adds its entries there.
//
// Log to File appends everything the board prints, each line behind its
// arrival time, to one file a day in the per-user state folder ("logs/"
// there); Log to File As... picks a file instead. Logging is not
// remembered: it starts only when asked.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "core/ConsoleLog.h"

class QAction;
class QLabel;

namespace travin {

class TMainForm;

class ConsoleTools : public QObject {
    Q_OBJECT
public:
    // Lines the console keeps before the oldest go.
    static constexpr std::size_t kHistoryLines = 100000;

    explicit ConsoleTools(TMainForm& form);
    ~ConsoleTools() override;

    // Starts the daily log (or the log in `path`); false after a box saying
    // why when the file cannot be opened.
    bool startLog();
    bool startLogFile(const std::string& path);
    void stopLog();
    bool logging() const { return log.active(); }
    const ConsoleLog& consoleLog() const { return log; }
    // The folder of the daily logs, ending in a separator.
    std::string logFolder() const;

    QAction* LogAction = nullptr;
    QAction* LogAsAction = nullptr;
    QLabel* LoggingLabel = nullptr;
    // The log file dialog; tests replace it. Empty: cancelled.
    std::function<QString(const QString& suggested)> chooseLogPath;

private:
    void showLogging();
    void logFailed(const QString& why);

    TMainForm& form;
    ConsoleLog log;
    // Why the log drops bytes, once the disk has fallen behind; empty before.
    QString logBehind;
    // The port-problem panel's width without the logging note beside it.
    int portProblemWidth = 0;
};

}  // namespace travin
