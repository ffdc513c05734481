// The workbench's own viewer for its HTML help pages, used when the system
// has no viewer for them: one page at a time, the links between our pages
// followed in place, with Back and Forward.
#pragma once

#include <QWidget>
#include <functional>

class QPushButton;
class QTextBrowser;

namespace travin {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page at a local path and brings the window to the front.
    void showPage(const QString& path);

    QTextBrowser* browser() const { return view; }

    // Opens a link that is not one of our HTML pages (the PDF manual, the
    // web); by default with the toolkit.
    std::function<void(const QUrl&)> openOutside;

private:
    QTextBrowser* view;
    QPushButton* back;
    QPushButton* forward;
};

}  // namespace travin
