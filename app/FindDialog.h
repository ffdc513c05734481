// The find dialog (FindDialog1): non-modal, created once with the main
// window, so its search text and check boxes keep their values between
// uses. It searches downwards only and offers no direction choice; each
// press of Find Next emits findNext(), which the main window forwards to
// FindPrint::FindDialog1Find.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace travin {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* mainWindow = nullptr);

    // Places the dialog's top-left corner at (x, y) and shows it, or brings
    // it to the front when it is already open.
    void showAt(int x, int y);

    // The search text as single-byte text, and the two options.
    std::string searchText() const;
    bool matchCase() const;
    bool wholeWord() const;

    QLineEdit* FindWhat;
    QCheckBox* MatchWholeWord;
    QCheckBox* MatchCase;
    QPushButton* FindNextButton;
    QPushButton* CancelButton;

signals:
    void findNext();
};

}  // namespace travin
