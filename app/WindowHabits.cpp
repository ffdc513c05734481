#include "app/WindowHabits.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <functional>

#include "app/FindDialog.h"
#include "app/HandlerBarrier.h"
#include "app/ListingPane.h"
#include "app/SingleByteQt.h"
#include "app/TMainForm.h"
#include "app/VirtualBoardLauncher.h"

namespace travin {

namespace {

// How often the title and the status notes follow the state.
constexpr int kRefreshMs = 150;

QMenu* menuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return nullptr;
}

// The toolkit's edit actions act on whichever edit has the focus.
template <typename Act>
void onFocusedEdit(Act act) {
    QWidget* w = QApplication::focusWidget();
    if (auto* t = qobject_cast<QTextEdit*>(w)) act(t);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) act(p);
    else if (auto* l = qobject_cast<QLineEdit*>(w)) act(l);
}

}  // namespace

WindowHabits::WindowHabits(TMainForm& mainForm) : QObject(&mainForm), form(mainForm) {
    form.workbench().state.echoSentText = true;
    addShortcuts();
    addEditEntries();
    addRecentMenu();

    // The connection and the last stop take the port problem's place while
    // there is none.
    connection = new QLabel(form.StatusBar1);
    connection->setObjectName("ConnectionPanel");
    connection->setFixedWidth(form.PortProblemPanel->width());
    form.StatusBar1->addWidget(connection);

    board = new VirtualBoardLauncher(form.workbench(), this);
    if (form.ComPortForm) addVirtualBoardButton(*form.ComPortForm, *board);
    // The board is a child of the workbench: it ends with it, however the
    // application ends.
    connect(qApp, &QCoreApplication::aboutToQuit, board, &VirtualBoardLauncher::stop);

    form.ACIEdit->installEventFilter(this);
    // Every command sent from the line goes into its history, by Enter or
    // by the button.
    connect(form.SendACIButton, &QPushButton::pressed, this,
            [this] { aciHistory.add(toSingleByte(form.ACIEdit->text())); });

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WindowHabits::refresh);
    timer->start(kRefreshMs);
    refresh();
}

QAction* WindowHabits::entry(const QString& name) const { return form.findChild<QAction*>(name); }

void WindowHabits::addShortcuts() {
    // Only entries without a shortcut get one; Ctrl+F, Ctrl+G and the edit
    // keys stay as they are.
    const std::pair<const char*, QKeySequence> keys[] = {
        {"NewMenu", QKeySequence::New},
        {"OpenMenu", QKeySequence::Open},
        {"SaveMenu", QKeySequence::Save},
        {"SaveAsMenu", QKeySequence("Ctrl+Shift+S")},
        {"PrintMenu", QKeySequence::Print},
        {"RunMenu", QKeySequence("F5")},
        {"SingleStepMenu", QKeySequence("F10")},
        {"StopMenu", QKeySequence("Shift+F5")},
        {"SetBreakMenu", QKeySequence("F9")},
    };
    for (const auto& [name, key] : keys) {
        if (QAction* a = form.menuEntry(name); a && a->shortcut().isEmpty()) a->setShortcut(key);
    }
    // File entries that change which file the listing is bring the title
    // and the recent list up to date at once.
    for (const char* name : {"NewMenu", "OpenMenu", "SaveMenu", "SaveAsMenu"}) {
        if (QAction* a = form.menuEntry(name)) connect(a, &QAction::triggered, this, &WindowHabits::refresh);
    }
}

void WindowHabits::addEditEntries() {
    QMenu* edit = menuTitled(form.menuBar(), "&Edit");
    if (!edit) return;
    const auto make = [this](const QString& name, const QString& caption, const QKeySequence& key,
                             std::function<void()> handler) {
        auto* a = new QAction(caption, &form);
        a->setObjectName(name);
        // The pane and the lines take these keys themselves while they have
        // the focus, as they do Cut, Copy and Paste.
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, [handler] { callHandler(handler); });
        return a;
    };
    QAction* cut = form.menuEntry("CutMenu");
    QAction* find = form.menuEntry("FindMenu");
    QAction* undo = make("UndoMenu", "&Undo", QKeySequence::Undo, [] { onFocusedEdit([](auto* e) { e->undo(); }); });
    QAction* redo = make("RedoMenu", "&Redo", QKeySequence::Redo, [] { onFocusedEdit([](auto* e) { e->redo(); }); });
    edit->insertAction(cut, undo);
    edit->insertAction(cut, redo);
    edit->insertSeparator(cut);
    QAction* selectAll = make("SelectAllMenu", "Select &All", QKeySequence::SelectAll,
                              [] { onFocusedEdit([](auto* e) { e->selectAll(); }); });
    edit->insertAction(find, selectAll);
    edit->insertSeparator(find);

    // F3 finds the next hit with the find dialog's text, also while the
    // dialog has the keys; with nothing to find yet it opens the dialog.
    auto* findNext = new QAction("Find &Next", &form);
    findNext->setObjectName("FindNextMenu");
    findNext->setShortcut(QKeySequence("F3"));
    if (auto* dialog = form.findChild<FindDialog*>()) dialog->addAction(findNext);
    connect(findNext, &QAction::triggered, this, [this] {
        callHandler([this] {
            Workbench& wb = form.workbench();
            if (wb.screens.desktop.findOptions().text.empty()) wb.find.EditFind1Execute();
            else wb.find.FindDialog1Find();
        });
    });
    const QList<QAction*> after = edit->actions();
    const int at = after.indexOf(find);
    if (at >= 0 && at + 1 < after.size()) edit->insertAction(after[at + 1], findNext);
    else edit->addAction(findNext);
}

void WindowHabits::addRecentMenu() {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    recent = settings.value("recent").toStringList().mid(0, kRecentCount);
    lastFileName = form.workbench().state.fileName;

    QMenu* file = menuTitled(form.menuBar(), "&File");
    QAction* open = form.menuEntry("OpenMenu");
    if (!file || !open) return;
    recentFilesMenu = new QMenu("Open &Recent", file);
    recentFilesMenu->setObjectName("OpenRecentMenu");
    recentFilesMenu->setToolTipsVisible(true);
    const QList<QAction*> entries = file->actions();
    const int at = entries.indexOf(open);
    if (at >= 0 && at + 1 < entries.size()) file->insertMenu(entries[at + 1], recentFilesMenu);
    else file->addMenu(recentFilesMenu);
    // Usable when Open is: never while the program runs.
    recentFilesMenu->menuAction()->setEnabled(open->isEnabled());
    connect(open, &QAction::changed, this, [this, open] { recentFilesMenu->menuAction()->setEnabled(open->isEnabled()); });
    rebuildRecentMenu();
}

void WindowHabits::rebuildRecentMenu() {
    if (!recentFilesMenu) return;
    recentFilesMenu->clear();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        auto* a = recentFilesMenu->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        a->setToolTip(path);
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, [this, path] {
            callHandler([this, path] { form.workbench().files.OpenPathExecute(toCorePath(path)); });
            refresh();
        });
    }
    recentFilesMenu->setEnabled(!recent.isEmpty());
}

QString WindowHabits::settingsFile() const {
    return fromCorePath(form.workbench().locations.configFolder) + "recent.ini";
}

void WindowHabits::remember(const QString& path) {
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kRecentCount) recent.removeLast();
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue("recent", recent);
    rebuildRecentMenu();
}

void WindowHabits::refresh() {
    Workbench& wb = form.workbench();
    const std::string& fileName = wb.state.fileName;
    // A file the listing now belongs to (opened or saved under a name)
    // joins the recent list.
    if (fileName != lastFileName) {
        lastFileName = fileName;
        const QString path = fromCorePath(fileName);
        if (QFileInfo(path).isAbsolute() && QFileInfo(path).isFile()) remember(QFileInfo(path).absoluteFilePath());
    }

    const bool unsaved = wb.state.unsavedChanges || form.RichEdit1->modified();
    const QString title =
        (unsaved ? "*" : "") + fromCorePath(fileNamePart(fileName)) + QString::fromUtf8(" \u2014 Travin");
    if (form.windowTitle() != title) form.setWindowTitle(title);

    const bool problem = !form.PortProblemPanel->text().isEmpty();
    form.PortProblemPanel->setVisible(problem);
    connection->setVisible(!problem);
    const std::string stop = wb.notes.stopNote();
    std::string state = wb.notes.connection();
    const int shownPort = wb.state.portHandle != kInvalidHandle ? wb.state.openPort : wb.state.selectedPort;
    if (board->running() && board->comNumber() == shownPort) state += " (virtual board)";
    const QString note = QString::fromStdString(state + (stop.empty() ? "" : "    " + stop));
    // The listing's hints share the bar: a long note is shortened, and shown
    // whole as the tip.
    const QString shown = connection->fontMetrics().elidedText(note, Qt::ElideRight, connection->width());
    if (connection->text() != shown) connection->setText(shown);
    connection->setToolTip(note);
}

bool WindowHabits::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form.ACIEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        std::string line;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            aciHistory.add(toSingleByte(form.ACIEdit->text()));
            break;
        case Qt::Key_Up:
            if (aciHistory.older(toSingleByte(form.ACIEdit->text()), line)) form.ACIEdit->setText(fromSingleByte(line));
            return true;
        case Qt::Key_Down:
            if (aciHistory.newer(line)) form.ACIEdit->setText(fromSingleByte(line));
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace travin
