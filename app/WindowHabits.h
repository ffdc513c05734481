// What users of today's editors reach for in the main window, added around
// the controls it has always had (none of them moves):
//   - shortcuts on the File and Debugger entries, F3 for Find Next;
//   - Undo, Redo and Select All in the Edit menu;
//   - the file's name in the title bar, "*" while it has unsaved changes;
//   - File > Open Recent, the last eight files (per-user settings);
//   - the connection and the last stop in the status bar;
//   - the ACI line's history on Up and Down;
//   - a virtual board started from the port dialog.
#pragma once

#include <QObject>
#include <QStringList>

#include "workbench/CommandHistory.h"

class QAction;
class QLabel;
class QMenu;

namespace travin {

class TMainForm;
class VirtualBoardLauncher;

class WindowHabits : public QObject {
    Q_OBJECT
public:
    // Adds everything to `form`, whose menus and status bar are built.
    explicit WindowHabits(TMainForm& form);

    // Brings the title, the status notes and the recent list up to date;
    // runs on a short timer and after every File entry.
    void refresh();

    // The recent files, newest first (full paths).
    QStringList recentFiles() const { return recent; }
    QMenu* recentMenu() const { return recentFilesMenu; }
    // The status bar's connection and stop note (shown while no port
    // problem is).
    QLabel* connectionPanel() const { return connection; }
    // The virtual board started from the port dialog.
    VirtualBoardLauncher* virtualBoard() const { return board; }
    // The entries added here, by name ("UndoMenu", "FindNextMenu", ...).
    QAction* entry(const QString& name) const;

    static constexpr int kRecentCount = 8;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addShortcuts();
    void addEditEntries();
    void addRecentMenu();
    void rebuildRecentMenu();
    void remember(const QString& path);
    QString settingsFile() const;

    TMainForm& form;
    QMenu* recentFilesMenu = nullptr;
    QLabel* connection = nullptr;
    VirtualBoardLauncher* board = nullptr;
    QStringList recent;
    std::string lastFileName;
    CommandHistory aciHistory;
};

}  // namespace travin
