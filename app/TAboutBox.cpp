#include "app/TAboutBox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>

namespace travin {

namespace {

// The one drawing of the icon, also installed as the desktop's icon.
const char* const kProgramIconResource = ":/icons/org.travin.Workbench.svg";

}  // namespace

QPixmap travinProgramPixmap() {
    QSvgRenderer renderer{QString(kProgramIconResource)};
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon travinProgramIcon() {
    return QIcon(travinProgramPixmap());
}

TAboutBox::TAboutBox(QWidget* mainWindow) : QDialog(mainWindow) {
    setObjectName("AboutBox");
    setWindowTitle("About Travin");
    // A dialog border without size grip, help or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    if (mainWindow) setFont(mainWindow->font());
    setFixedSize(177, 116);

    // The panel's two bevels: lowered outside, raised inside.
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 161, 65);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    auto* inner = new QFrame(Panel1);
    inner->setGeometry(1, 1, 159, 63);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(16, 16, 33, 33);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(travinProgramPixmap());

    ProductName = new QLabel("Travin", Panel1);
    ProductName->setObjectName("ProductName");
    ProductName->move(64, 8);
    ProductName->adjustSize();

    Version = new QLabel("Version 1.11", Panel1);
    Version->setObjectName("Version");
    Version->move(64, 24);
    Version->adjustSize();

    Comments = new QLabel(QString(), Panel1);
    Comments->setObjectName("Comments");
    Comments->setWordWrap(true);
    Comments->move(16, 48);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(55, 84, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showModal() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    exec();
}

}  // namespace travin
