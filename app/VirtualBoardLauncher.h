// The virtual board started from the window, for a user without a board:
// the installed (or neighbouring) travin-board runs as a child process on a
// COM number with nothing there, its link in the workbench's link folder
// and its own EEPROM image in the state folder. It is stopped when the user
// stops it or the workbench closes.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QProcess;
class QPushButton;

namespace travin {

class TComPortForm;
class Workbench;

class VirtualBoardLauncher : public QObject {
    Q_OBJECT
public:
    VirtualBoardLauncher(Workbench& workbench, QObject* parent);
    ~VirtualBoardLauncher() override;

    // The board program: travin-board beside this executable, else on the
    // PATH. Tests may point it elsewhere.
    QString program;
    // How long the board may take to make its link.
    int startTimeoutMs = 5000;
    // Says why the board could not start; the notice box by default.
    std::function<void(const QString&)> tell;

    // The COM number `wanted` (1..8) when nothing is there, else the next
    // free one. Zero when every number is taken.
    int freeComNumber(int wanted) const;
    // Starts the board on freeComNumber(wanted); its COM number, or 0 after
    // telling why it could not start.
    int start(int wanted);
    // Stops the board and waits for it to remove its link.
    void stop();

    bool running() const;
    int comNumber() const { return com; }

signals:
    void stateChanged();

private:
    QString linkPath(int number) const;

    Workbench& wb;
    QProcess* process = nullptr;
    int com = 0;
};

// Adds "Start a virtual board on COM<n>" (and, while it runs, "Stop the
// virtual board on COM<n>") to the port dialog.
QPushButton* addVirtualBoardButton(TComPortForm& dialog, VirtualBoardLauncher& board);

}  // namespace travin
