// The main window: every pane, button and menu entry of the workbench.
//
// It builds the widgets, implements the screen interfaces the core needs and
// forwards every event to the core handler of the same name. No protocol or
// debugger logic lives here.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>

#include "core/ScreenInterfaces.h"
#include "app/WindowLayout.h"
#include "workbench/Workbench.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QStatusBar;

namespace travin {

class ConsolePane;
class FuncAssist;
class ListingPane;
struct ListingAids;
class TComPortForm;
class TFuncAssistEditForm;
class TFuncAssistMenuForm;
class TPlotForm;
class QtNotices;
class RunningLight;

class TMainForm : public QMainWindow, public MainView, public WindowSetup {
    Q_OBJECT
public:
    // `folder` (ending in a separator) is where the port file, the help
    // documents and the com<n> links are found; by default they are where
    // the location rule puts them for this executable.
    explicit TMainForm(QWidget* parent = nullptr, const std::string& folder = {});
    ~TMainForm() override;

    Workbench& workbench() { return *wb; }

    // The listing's gutter, colours, problems and completion.
    ListingAids* listingAids() const { return aids.get(); }

    // Widgets, for the windows that work with them and for tests.
    ListingPane* RichEdit1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    ConsolePane* Memo1 = nullptr;
    QLineEdit* ACIEdit = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr;
    // Why the selected port does not open; empty while it opens.
    QLabel* PortProblemPanel = nullptr;
    QLabel* ListingLabel = nullptr;
    QLabel* VariablesLabel = nullptr;
    QLabel* InputOutputLabel = nullptr;
    QLabel* RunningLabel = nullptr;
    RunningLight* RunningLightShape = nullptr;
    QLabel* ComLabel = nullptr;

    QPushButton* RunButton = nullptr;
    QPushButton* SingleStepButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QPushButton* BreakButton = nullptr;
    QPushButton* SendCharacterButton = nullptr;
    QPushButton* EraseButton = nullptr;
    QPushButton* SelectPortButton = nullptr;
    QPushButton* ClearButton = nullptr;
    QPushButton* SendACIButton = nullptr;

    // The dialogs, created after the main window.
    TComPortForm* ComPortForm = nullptr;
    TFuncAssistMenuForm* FuncAssistMenuForm = nullptr;
    TFuncAssistEditForm* FuncAssistEditForm = nullptr;
    // The plot window, made the first time it is asked for.
    TPlotForm* PlotForm = nullptr;

    // Menu entries by component name ("NewMenu", "RunMenu", ...).
    QAction* menuEntry(const QString& name) const;
    QWidget* controlWidget(Control control) const;
    bool controlEnabled(Control control) const;

    // MainView.
    void setControlEnabled(Control control, bool enabled) override;
    void setRunningLight(Rgb colour) override;
    void setVariableRows(const std::vector<std::string>& rows) override;
    int currentVariableRow() const override;
    void setStatusText(const std::string& text) override;
    void setPortLabel(const std::string& text) override;
    void setPortProblem(const std::string& text) override;
    void showPortDialog(int item) override;
    void focusListing() override;
    std::string aciText() const override;

    // WindowSetup.
    void setHelpFile(const std::string& path) override;
    void setCaption(const std::string& caption) override;
    void setListingTabStops(int count, int stepPoints) override;
    void setWindowSize(int width, int height) override;
    void setResizeReady() override;
    void saveLayout() override;
    void limitAciLine(int characters) override;

    // The size-constraint handler: writes the limits and fixes the window at
    // its one size: 800 wide outside, and inside just high enough for the
    // menu, the panes and the status bar, whatever frame the platform adds.
    void FormConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);
    // The client height the menu, the panes and the status bar fill exactly.
    int contentHeight() const;

    QString helpFile() const { return helpFilePath; }

    // Shows the window centred on the screen.
    void showCentred();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A window manager that maximises anyway is undone at once.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanes(QWidget* client);
    void buildButtons(QWidget* client);
    void buildMenus();
    QAction* addEntry(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                      std::function<void()> handler, const QKeySequence& shortcut = {});
    void editAction(void (*action)(QWidget*));
    void PlotMenuClick();

    std::unique_ptr<QtNotices> notices;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<MonitorTimer> timer;
    std::unique_ptr<DesktopServices> desktop;
    std::unique_ptr<Workbench> wb;
    std::unique_ptr<FuncAssist> funcAssist;
    std::unique_ptr<ListingAids> aids;

    std::map<QString, QAction*> entries;
    std::map<Control, QWidget*> controlWidgets;
    std::map<Control, QAction*> controlActions;
    WindowLayout layout;
    QString helpFilePath;
};

}  // namespace travin
