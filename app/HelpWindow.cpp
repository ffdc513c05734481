#include "app/HelpWindow.h"

#include <QDesktopServices>
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
    // Links between our pages open here; a link that leaves them (the web)
    // goes to whatever the system offers, which may be nothing.
    view->setOpenLinks(true);
    view->setOpenExternalLinks(true);

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
    show();
    raise();
    activateWindow();
}

}  // namespace travin
