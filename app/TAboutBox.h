// The About box: product name, version and the program's icon in a framed
// panel, closed by its OK button. Created once with the main window and
// reused on every showing.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;

namespace travin {

// The program's icon: 32 x 32 pixels in 16 colours, rendered from the SVG
// drawing in the program's resources (data/org.travin.Workbench.svg, the
// same file the desktop's icons are made from). The main window uses it as
// its window icon too.
QPixmap travinProgramPixmap();
QIcon travinProgramIcon();

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` gives the font and owns the box.
    explicit TAboutBox(QWidget* mainWindow = nullptr);

    // Centres the box on the screen and shows it modally.
    void showModal();

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;
    QPushButton* OKButton;
};

}  // namespace travin
