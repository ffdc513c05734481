// The workbench's own viewer for its HTML help pages, used when the system
// has no viewer for them: one page at a time, the links between our pages
// followed in place, with Back and Forward.
#pragma once

#include <QWidget>

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

private:
    QTextBrowser* view;
    QPushButton* back;
    QPushButton* forward;
};

}  // namespace travin
