#include "app/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

#include "app/ConsolePane.h"
#include "app/ConsoleTools.h"
#include "app/DesktopServicesQt.h"
#include "app/FindDialog.h"
#include "app/HandlerBarrier.h"
#include "app/TAboutBox.h"
#include "app/ListingPane.h"
#include "app/ListingAids.h"
#include "app/ListingGutter.h"
#include "app/ListingProblems.h"
#include "app/MarkKeeper.h"
#include "app/QtNotices.h"
#include "app/RunningLight.h"
#include "app/SingleByteQt.h"
#include "app/AssistMessage.h"
#include "app/AssistMouse.h"
#include "assistant/FuncAssist.h"
#include "app/TFuncAssistEditForm.h"
#include "app/TFuncAssistMenuForm.h"
#include "app/MonitorTimerQt.h"
#include "core/SingleByteText.h"
#include "core/SystemClock.h"
#include "app/TComPortForm.h"
#include "app/WindowHabits.h"
#include "plot/TPlotForm.h"

namespace travin {

namespace {

// How long a refused character's note stays in the status bar.
constexpr int kRefusalNoteMs = 4000;

QFont windowFont() {
    QFont f;
    f.setFamilies({"MS Sans Serif", "Liberation Sans", "DejaVu Sans", "Sans Serif"});
    f.setPixelSize(11);
    return f;
}

QFont paneFont() {
    QFont f;
    f.setFamilies({"Courier", "Liberation Mono", "DejaVu Sans Mono", "Monospace"});
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(15);
    return f;
}

// The desktop services own the About box, which is created after the main
// window has finished its creation; until then the core reaches them through
// this forwarder.
class DesktopForwarder : public DesktopServices {
public:
    std::unique_ptr<DesktopServices> target;

    bool runOpenDialog(std::string& path) override { return target && target->runOpenDialog(path); }
    bool runSaveDialog(std::string& path) override { return target && target->runSaveDialog(path); }
    void showFindDialog() override {
        if (target) target->showFindDialog();
    }
    FindOptions findOptions() const override { return target ? target->findOptions() : FindOptions{}; }
    bool printListing() override { return target && target->printListing(); }
    bool exportListingPdf() override { return target && target->exportListingPdf(); }
    bool openDocument(const std::string& path) override { return target && target->openDocument(path); }
    bool openDocumentWatched(const std::string& path, std::function<void()> failedLater) override {
        return target && target->openDocumentWatched(path, std::move(failedLater));
    }
    void showAboutBox() override {
        if (target) target->showAboutBox();
    }
    void showMessage(const std::string& text) override {
        if (target) target->showMessage(text);
    }
    void closeMainWindow() override {
        if (target) target->closeMainWindow();
    }
};

}  // namespace

TMainForm::TMainForm(QWidget* parent, const std::string& folder) : QMainWindow(parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(windowFont());

    auto* client = new QWidget(this);
    setCentralWidget(client);
    buildPanes(client);
    buildButtons(client);
    keepMarksOffNewText(*RichEdit1);

    notices = std::make_unique<QtNotices>();
    clock = std::make_unique<SystemClock>();
    auto monitorTimer = std::make_unique<MonitorTimerQt>(this);
    MonitorTimerQt* timerPtr = monitorTimer.get();
    timer = std::move(monitorTimer);
    auto forwarder = std::make_unique<DesktopForwarder>();
    DesktopForwarder* desktopForwarder = forwarder.get();
    desktop = std::move(forwarder);
    wb = std::make_unique<Workbench>(Screens{*RichEdit1, *Memo1, *notices, *this, *timer, *clock, *desktop},
                                     folder.empty() ? locateFilesOfThisProgram() : Locations::allIn(folder));
    notices->beforeBox = [this] { wb->console.flush(); };
    timerPtr->bind(*wb);
    setWindowIcon(travinProgramIcon());
    Memo1->onUserEdit = [this] { wb->console.paneEdited(); };
    setRefusalNoteSink([this](const QString& note) { StatusBar1->showMessage(note, kRefusalNoteMs); });

    buildMenus();
    new ConsoleTools(*this);

    // Wiring: every control forwards to the handler of its name.
    connect(RunButton, &QPushButton::clicked, this, guarded([this] { wb->execution.DebuggerRunExecute(); }));
    connect(SingleStepButton, &QPushButton::clicked, this,
            guarded([this] { wb->execution.DebuggerSingleStepExecute(); }));
    connect(StopButton, &QPushButton::clicked, this, guarded([this] { wb->execution.DebuggerStopExecute(); }));
    connect(ResetButton, &QPushButton::clicked, this, guarded([this] { wb->execution.DebuggerResetExecute(); }));
    connect(BreakButton, &QPushButton::clicked, this,
            guarded([this] { wb->breakpoints.DebuggerSetBreakpointExecute(); }));
    connect(SendCharacterButton, &QPushButton::clicked, this,
            guarded([this] { wb->input.DebuggerSendCharacterExecute(); }));
    connect(EraseButton, &QPushButton::clicked, this, guarded([this] { wb->memory.EraseButtonClick(); }));
    connect(SelectPortButton, &QPushButton::clicked, this, guarded([this] { wb->port.SelectPortButtonClick(); }));
    connect(ClearButton, &QPushButton::clicked, this, guarded([this] { wb->console.DebuggerClearWindowExecute(); }));
    connect(SendACIButton, &QPushButton::clicked, this, guarded([this] { wb->input.SendACIExecute(); }));
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, guarded([this] { wb->variables.ListBox1SetVariable(); }));
    ACIEdit->installEventFilter(this);

    wb->FormCreate(*this);

    // The dialogs follow the main window, in their order: the About box
    // (made by the desktop services, with the find dialog), the port dialog
    // and the assistant's two windows. Each lives until the application ends
    // and is hidden between uses.
    auto services = std::make_unique<DesktopServicesQt>(this, RichEdit1, *notices);
    connect(services->findDialog(), &FindDialog::findNext, this, guarded([this] { wb->find.FindDialog1Find(); }));
    services->listingTitle = [this] { return fromCorePath(fileNamePart(wb->state.fileName)); };
    services->openFromHelpWindow = [this](const std::string& path) {
        callHandler([this, path] { wb->help.OpenDocumentAt(path); });
    };
    desktopForwarder->target = std::move(services);
    ComPortForm = new TComPortForm(this);
    ComPortForm->bind(*wb);
    FuncAssistMenuForm = new TFuncAssistMenuForm(this);
    FuncAssistEditForm = new TFuncAssistEditForm(this);
    funcAssist = std::make_unique<FuncAssist>(static_cast<ListingView&>(*RichEdit1), *FuncAssistMenuForm,
                                              *FuncAssistEditForm, [this](const std::string& text) {
                                                  wb->console.flush();
                                                  ShowAssistMessage(text);
                                              });
    aids = std::make_unique<ListingAids>(RichEdit1, StatusBar1);
    // A line number clicked is the Break button pressed on that line.
    aids->gutter->onLineClicked = [this](int line) {
        if (!BreakButton->isEnabled()) return;
        RichEdit1->setSelection(RichEdit1->lineStart(line), 0);
        BreakButton->click();
    };
    RichEdit1->onMouseDown = [this](Qt::MouseButton button) {
        callHandler([this, button] { funcAssist->RichEdit1MouseDown(ToAssistButton(button)); });
    };
    Habits = new WindowHabits(*this);
}

TMainForm::~TMainForm() {
    // The timer must not tick into a half-destroyed window, and the
    // assistant lets go of its windows before they go.
    if (timer) timer->setTimerEnabled(false);
    // The additions go first, while the window they work on is whole (the
    // virtual board stops here).
    delete Habits;
    Habits = nullptr;
    funcAssist.reset();
    setRefusalNoteSink(nullptr);
    if (wb) wb->console.setBytesListener(nullptr);
}

void TMainForm::buildPanes(QWidget* client) {
    const QFont pane = paneFont();

    ListingLabel = new QLabel("Listing", client);
    ListingLabel->move(9, 32);
    RichEdit1 = new ListingPane(client);
    RichEdit1->setGeometry(3, 48, 665, 353);
    RichEdit1->setFont(pane);
    RichEdit1->document()->setDefaultFont(pane);

    VariablesLabel = new QLabel("Variables", client);
    VariablesLabel->move(680, 32);
    ListBox1 = new QListWidget(client);
    ListBox1->setGeometry(675, 48, 114, 353);
    ListBox1->setFont(pane);
    ListBox1->setToolTip("Double click to change variable");
    for (int i = 0; i < kVariableCount; ++i) ListBox1->addItem(QString("%1: 0").arg(QChar('A' + i)));

    InputOutputLabel = new QLabel("Input-Output", client);
    InputOutputLabel->move(9, 408);
    Memo1 = new ConsolePane(client);
    Memo1->setGeometry(3, 432, 787, 121);
    Memo1->setFont(pane);

    ACIEdit = new QLineEdit(client);
    ACIEdit->setGeometry(3, 560, 177, 21);
    ACIEdit->setFont(pane);
    ACIEdit->setValidator(new SingleByteLineValidator(ACIEdit));

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setGeometry(3, 583, 787, 22);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setFixedWidth(200);
    StatusBar1->addWidget(StatusPanel);
    PortProblemPanel = new QLabel(StatusBar1);
    PortProblemPanel->setObjectName("PortProblemPanel");
    PortProblemPanel->setFixedWidth(StatusBar1->width() - StatusPanel->width() - 16 - ListingProblems::kPanelWidth);
    StatusBar1->addWidget(PortProblemPanel);

    RunningLabel = new QLabel("Program Running", client);
    RunningLabel->move(456, 8);
    RunningLightShape = new RunningLight(client);
    RunningLightShape->setGeometry(544, 8, 12, 12);

    ComLabel = new QLabel("COM1", client);
    ComLabel->setObjectName("ComLabel");
    ComLabel->setGeometry(739, 8, 49, 17);
    ComLabel->setAlignment(Qt::AlignCenter);
    ComLabel->setAutoFillBackground(true);
    QPalette silver = ComLabel->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    ComLabel->setPalette(silver);
    ComLabel->setFrameStyle(QFrame::Box | QFrame::Plain);

    // No pane, button or edit takes part in Tab-key focus moves; the Tab key
    // in the listing inserts a tab.
    for (QWidget* w : client->findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus) w->setFocusPolicy(Qt::ClickFocus);
    }
}

void TMainForm::buildButtons(QWidget* client) {
    auto make = [client](const char* name, const QString& caption, const QString& hint, int left, int top,
                         int width, int height) {
        auto* b = new QPushButton(caption, client);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setGeometry(left, top, width, height);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    RunButton = make("RunButton", "Run", "Download and run", 8, 8, 41, 17);
    SingleStepButton = make("SingleStepButton", "Single", "Single step", 56, 8, 41, 17);
    StopButton = make("StopButton", "Stop", "Stop program", 104, 8, 41, 17);
    ResetButton = make("ResetButton", "Reset", "Reset program", 152, 8, 41, 17);
    BreakButton = make("BreakButton", "Break", "Set or clear breakpoint", 200, 8, 41, 17);
    SendCharacterButton = make("SendCharacterButton", "Send", "Send character asynchronously", 248, 8, 41, 17);
    EraseButton = make("EraseButton", "Erase", "Erase program from EEPROM", 296, 8, 41, 17);
    SelectPortButton = make("SelectPortButton", "Select Port", "Select communications port", 675, 8, 60, 17);
    ClearButton = make("ClearButton", "Clear Input-Output", "Clear Input-Output Screen", 681, 408, 105, 17);
    SendACIButton = make("SendACIButton", "Send ACI", "Send ACI command", 192, 560, 73, 22);

    controlWidgets = {
        {Control::RunButton, RunButton},         {Control::SingleStepButton, SingleStepButton},
        {Control::StopButton, StopButton},       {Control::ResetButton, ResetButton},
        {Control::BreakButton, BreakButton},     {Control::EraseButton, EraseButton},
        {Control::SelectPortButton, SelectPortButton}, {Control::SendCharacterButton, SendCharacterButton},
    };
}

QAction* TMainForm::addEntry(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                             std::function<void()> handler, const QKeySequence& shortcut) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!hint.isEmpty()) {
        a->setToolTip(hint);
        a->setStatusTip(hint);
    }
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [handler] { callHandler(handler); });
    menu->addAction(a);
    entries[name] = a;
    return a;
}

void TMainForm::editAction(void (*action)(QWidget*)) {
    // The toolkit's cut, copy and paste act on whichever edit has the focus.
    if (QWidget* w = QApplication::focusWidget()) action(w);
}

void TMainForm::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setFont(windowFont());
    Workbench* w = wb.get();

    QMenu* file = bar->addMenu("&File");
    file->setToolTipsVisible(true);
    addEntry(file, "NewMenu", "&New", "Create File", [w] { w->files.FileNewExecute(); });
    addEntry(file, "OpenMenu", "&Open", "Open File", [w] { w->files.FileOpenExecute(); });
    addEntry(file, "SaveMenu", "&Save", "Save File", [w] { w->files.FileSaveExecute(); });
    addEntry(file, "SaveAsMenu", "Save &As", "Save file as", [w] { w->files.FileSaveAsExecute(); });
    addEntry(file, "PrintMenu", "Print", "", [w] { w->find.PrintMenuClick(); });
    addEntry(file, "ExportPdfMenu", "Export as PDF\u2026", "Export the listing as a PDF file",
             [w] { w->find.ExportPdfMenuClick(); });
    addEntry(file, "ExitMenu", "E&xit", "Exit application", [w] { w->files.FileExitExecute(); });

    QMenu* edit = bar->addMenu("&Edit");
    edit->setToolTipsVisible(true);
    auto cut = [](QWidget* f) {
        if (auto* t = qobject_cast<QTextEdit*>(f)) t->cut();
        else if (auto* p = qobject_cast<QPlainTextEdit*>(f)) p->cut();
        else if (auto* l = qobject_cast<QLineEdit*>(f)) l->cut();
    };
    auto copy = [](QWidget* f) {
        if (auto* t = qobject_cast<QTextEdit*>(f)) t->copy();
        else if (auto* p = qobject_cast<QPlainTextEdit*>(f)) p->copy();
        else if (auto* l = qobject_cast<QLineEdit*>(f)) l->copy();
    };
    auto paste = [](QWidget* f) {
        if (auto* t = qobject_cast<QTextEdit*>(f)) t->paste();
        else if (auto* p = qobject_cast<QPlainTextEdit*>(f)) p->paste();
        else if (auto* l = qobject_cast<QLineEdit*>(f)) l->paste();
    };
    addEntry(edit, "CutMenu", "Cu&t", "Cut", [this, cut] { editAction(cut); }, QKeySequence("Ctrl+X"));
    addEntry(edit, "CopyMenu", "&Copy", "Copy", [this, copy] { editAction(copy); }, QKeySequence("Ctrl+C"));
    addEntry(edit, "PasteMenu", "&Paste", "Paste", [this, paste] { editAction(paste); }, QKeySequence("Ctrl+V"));
    // The Find action carries the hint; the menu entry calls its handler.
    addEntry(edit, "FindMenu", "&Find", "Find", [w] { w->find.EditFind1Execute(); }, QKeySequence("Ctrl+F"));
    addEntry(edit, "GoToLineMenu", "&Go to Line\u2026", "Go to a line of the listing",
             [this] { askAndGoToLine(this, RichEdit1); }, QKeySequence("Ctrl+L"));

    QMenu* debugger = bar->addMenu("&Debugger");
    debugger->setToolTipsVisible(true);
    addEntry(debugger, "SelectPortMenu", "Select &Com Port", "", [w] { w->port.SelectPortMenuClick(); });
    addEntry(debugger, "DownloadMenu", "&Download", "Download Code", [w] { w->download.DebuggerDownloadExecute(); });
    addEntry(debugger, "RunMenu", "&Run", "Run Code", [w] { w->execution.DebuggerRunExecute(); });
    addEntry(debugger, "SingleStepMenu", "&SingleStep", "Single Step Code",
             [w] { w->execution.DebuggerSingleStepExecute(); });
    addEntry(debugger, "StopMenu", "S&top", "Stop Running", [w] { w->execution.DebuggerStopExecute(); });
    addEntry(debugger, "ResetMenu", "Rese&t", "Reset", [w] { w->execution.DebuggerResetExecute(); });
    addEntry(debugger, "SetBreakMenu", "Set/Clear &Breakpoint", "Set Breakpoint",
             [w] { w->breakpoints.DebuggerSetBreakpointExecute(); });
    addEntry(debugger, "SetVariableMenu", "Set &Variable", "", [w] { w->variables.DebuggerSetVariableExecute(); });
    addEntry(debugger, "SendCharacterMenu", "Send Character", "",
             [w] { w->input.DebuggerSendCharacterExecute(); });
    addEntry(debugger, "ClearWindowMenu", "Clear &Window", "", [w] { w->console.DebuggerClearWindowExecute(); });
    addEntry(debugger, "UploadMenu", "&Upload", "", [w] { w->memory.UploadMenuClick(); });
    addEntry(debugger, "StartupTimeMenu", "Startu&p Time", "", [w] { w->memory.StartupTimeMenuClick(); });
    addEntry(debugger, "EraseMemoryMenu", "&Erase Memory", "", [w] { w->memory.EraseMemoryMenuClick(); });
    debugger->addSeparator();
    addEntry(debugger, "PlotMenu", "&Plot", "Plot the numbers the program prints", [this] { PlotMenuClick(); },
             QKeySequence("Ctrl+G"));

    QMenu* help = bar->addMenu("&Help");
    help->setToolTipsVisible(true);
    addEntry(help, "TravinOverview1", "&Travin Overview", "Travin Overview", [w] { w->help.TravinOverview1Click(); });
    addEntry(help, "QuickStartGuide1", "&Quick Start Guide", "Travin Quick Start Guide",
             [w] { w->help.QuickStartGuide1Click(); });
    addEntry(help, "UserInterface1", "&User Interface", "Travin User Interface", [w] { w->help.UserInterface1Click(); });
    addEntry(help, "LanguageReference1", "&Language Reference", "Travin Language Reference",
             [w] { w->help.LanguageReference1Click(); });
    addEntry(help, "FunctionandSubroutineReference1", "&Function and Subroutine Reference",
             "Travin Functions and Subroutines", [w] { w->help.FunctionandSubroutineReference1Click(); });
    addEntry(help, "ACIReference1", "&ACI Reference", "ACI Reference", [w] { w->help.ACIReference1Click(); });
    help->addSeparator();
    addEntry(help, "About1", "&About", "", [w] { w->help.HelpAboutExecute(); });

    controlActions = {
        {Control::NewMenu, entries["NewMenu"]},
        {Control::OpenMenu, entries["OpenMenu"]},
        {Control::ExitMenu, entries["ExitMenu"]},
        {Control::SelectPortMenu, entries["SelectPortMenu"]},
        {Control::DownloadMenu, entries["DownloadMenu"]},
        {Control::RunMenu, entries["RunMenu"]},
        {Control::SingleStepMenu, entries["SingleStepMenu"]},
        {Control::StopMenu, entries["StopMenu"]},
        {Control::SetBreakMenu, entries["SetBreakMenu"]},
        {Control::ResetMenu, entries["ResetMenu"]},
        {Control::SetVariableMenu, entries["SetVariableMenu"]},
        {Control::UploadMenu, entries["UploadMenu"]},
        {Control::EraseMemoryMenu, entries["EraseMemoryMenu"]},
        {Control::StartupTimeMenu, entries["StartupTimeMenu"]},
        {Control::SendCharacterMenu, entries["SendCharacterMenu"]},
    };
}

void TMainForm::PlotMenuClick() {
    if (!PlotForm) {
        // From now on the plot reads the board's console bytes, shown or not.
        PlotForm = new TPlotForm(this, wb->screens.clock, fromCorePath(wb->locations.configFolder));
        wb->console.addBytesListener(&PlotForm->recorder());
    }
    PlotForm->showBeside(this);
}

QAction* TMainForm::menuEntry(const QString& name) const {
    auto it = entries.find(name);
    return it == entries.end() ? nullptr : it->second;
}

QWidget* TMainForm::controlWidget(Control control) const {
    auto it = controlWidgets.find(control);
    return it == controlWidgets.end() ? nullptr : it->second;
}

bool TMainForm::controlEnabled(Control control) const {
    if (QWidget* w = controlWidget(control)) return w->isEnabled();
    auto it = controlActions.find(control);
    return it != controlActions.end() && it->second->isEnabled();
}

void TMainForm::setControlEnabled(Control control, bool enabled) {
    if (QWidget* w = controlWidget(control)) w->setEnabled(enabled);
    auto it = controlActions.find(control);
    if (it != controlActions.end()) it->second->setEnabled(enabled);
}

void TMainForm::setRunningLight(Rgb c) { RunningLightShape->setColour(QColor(c.red, c.green, c.blue)); }

void TMainForm::setVariableRows(const std::vector<std::string>& rows) {
    const int current = ListBox1->currentRow();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (i < ListBox1->count()) ListBox1->item(i)->setText(fromSingleByte(rows[i]));
        else ListBox1->addItem(fromSingleByte(rows[i]));
    }
    while (ListBox1->count() > static_cast<int>(rows.size())) delete ListBox1->takeItem(ListBox1->count() - 1);
    if (current >= 0 && current < ListBox1->count()) ListBox1->setCurrentRow(current);
}

int TMainForm::currentVariableRow() const { return ListBox1->currentRow(); }

// The status bar shows the listing's file name, in the file system's encoding.
void TMainForm::setStatusText(const std::string& text) { StatusPanel->setText(fromCorePath(text)); }

void TMainForm::setPortLabel(const std::string& text) { ComLabel->setText(fromSingleByte(text)); }

void TMainForm::setPortProblem(const std::string& text) {
    // Paths under /dev/serial/by-id are long; shorten the middle so the COM
    // name and the cause stay in sight, and keep the whole line as the tip.
    const QString full = QString::fromStdString(text);
    PortProblemPanel->setText(
        PortProblemPanel->fontMetrics().elidedText(full, Qt::ElideMiddle, PortProblemPanel->width()));
    PortProblemPanel->setToolTip(full);
}

void TMainForm::showPortDialog(int item) { ComPortForm->showWith(item); }

void TMainForm::focusListing() { RichEdit1->setFocus(Qt::OtherFocusReason); }

std::string TMainForm::aciText() const {
    return toSingleByte(ACIEdit->text());
}

void TMainForm::setHelpFile(const std::string& path) { helpFilePath = fromCorePath(path); }

void TMainForm::setCaption(const std::string& caption) { setWindowTitle(fromSingleByte(caption)); }

void TMainForm::setListingTabStops(int count, int stepPoints) { RichEdit1->setTabStops(count, stepPoints); }

void TMainForm::setWindowSize(int width, int height) {
    resize(width - std::max(0, frameGeometry().width() - this->width()),
           height - std::max(0, frameGeometry().height() - this->height()));
}

void TMainForm::setResizeReady() {
    // Captured in saveLayout(), which follows at once.
}

void TMainForm::saveLayout() {
    SavedLayout saved;
    saved.listingHeight = RichEdit1->height();
    saved.inputOutputLabelTop = InputOutputLabel->y();
    saved.clearButtonTop = ClearButton->y();
    saved.memoTop = Memo1->y();
    saved.variablesHeight = ListBox1->height();
    saved.aciEditTop = ACIEdit->y();
    saved.sendAciButtonTop = SendACIButton->y();
    saved.statusBarTop = StatusBar1->y();
    layout.capture(saved);
    int minW = 0, minH = 0, maxW = 0, maxH = QWIDGETSIZE_MAX;
    FormConstrainedResize(minW, minH, maxW, maxH);
}

void TMainForm::limitAciLine(int characters) { ACIEdit->setMaxLength(characters); }

void TMainForm::FormConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight) {
    // The width limit is an outer size, title bar and borders included; Qt
    // sizes the window without the frame the window manager adds (none
    // offscreen or without a window manager), so the frame comes off first.
    // The height is the content's: a frame adds to it, and without one no
    // empty band is left under the status bar.
    const int frameWidth = std::max(0, frameGeometry().width() - width());
    SavedLayout unused;
    layout.FormConstrainedResize(minWidth, minHeight, maxWidth, maxHeight, kDesignHeight, unused);
    // Equal limits: a window manager then offers no maximise button and no
    // resizing border.
    setFixedSize(minWidth - frameWidth, contentHeight());
}

int TMainForm::contentHeight() const {
    // The design's status bar ends here in the client area below the menu.
    constexpr int kStatusBarBottom = 583 + 22;
    const QWidget* menu = menuWidget();
    const int menuHeight = !menu ? 0 : menu->hasHeightForWidth() ? menu->heightForWidth(kDesignWidth)
                                                                 : menu->sizeHint().height();
    return menuHeight + kStatusBarBottom;
}

void TMainForm::showCentred() {
    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    int minW = 0, minH = 0, maxW = 0, maxH = QWIDGETSIZE_MAX;
    FormConstrainedResize(minW, minH, maxW, maxH);
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The window manager's frame becomes known once the window is placed.
    int minW = 0, minH = 0, maxW = 0, maxH = QWIDGETSIZE_MAX;
    FormConstrainedResize(minW, minH, maxW, maxH);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const Qt::WindowStates grown = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (windowState() & grown) {
        QTimer::singleShot(0, this, [this, grown] { setWindowState(windowState() & ~grown); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A close query that fails keeps the window, and with it the listing.
    bool mayClose = false;
    callHandler([this, &mayClose] { mayClose = wb->files.FormCloseQuery(); });
    if (mayClose) event->accept();
    else event->ignore();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ACIEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        char typed = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) typed = '\r';
        else if (!key->text().isEmpty()) {
            // A character outside the set is refused by the line's validator
            // and goes nowhere.
            const int byte = byteOfCharacter(key->text().at(0).unicode());
            if (byte > 0) typed = static_cast<char>(byte);
        }
        // The character goes on to the line unchanged.
        if (typed) callHandler([this, typed] { wb->input.ACIEditKeyPress(typed); });
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace travin
