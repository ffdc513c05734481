#include "app/HelpWindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace travin {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle("Travin Help");
    resize(760, 560);

    view = new QTextBrowser(this);
    view->setObjectName("HelpBrowser");
    // Links between our pages open here; anything else (the PDF manual, the
    // web) goes to whatever the system offers, which may be nothing: shown
    // here it would be unreadable.
    view->setOpenLinks(false);
    connect(view, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl target = view->source().resolved(link);
        const QString suffix = QFileInfo(target.path()).suffix().toLower();
        if (target.isLocalFile() && (suffix == "html" || suffix == "htm")) view->setSource(target);
        else if (openOutside) openOutside(target);
    });
    openOutside = [](const QUrl& target) { QDesktopServices::openUrl(target); };

    back = new QPushButton("Back", this);
    forward = new QPushButton("Forward", this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, view, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, view, &QTextBrowser::forward);
    connect(view, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(view, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(view, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = view->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Travin Help") : title);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(view);
}

void HelpWindow::showPage(const QString& path) {
    view->setSource(QUrl::fromLocalFile(path));
    if (!isVisible() && parentWidget()) {
        // Over the main window, where the user looks.
        move(parentWidget()->window()->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

}  // namespace travin
