#include "app/FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/SingleByteQt.h"

namespace travin {

FindDialog::FindDialog(QWidget* mainWindow) : QDialog(mainWindow) {
    setObjectName("FindDialog1");
    setWindowTitle("Find");
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    auto* label = new QLabel("Fi&nd what:", this);
    FindWhat = new QLineEdit(this);
    FindWhat->setObjectName("FindWhat");
    FindWhat->setValidator(new SingleByteValidator(FindWhat));
    label->setBuddy(FindWhat);
    MatchWholeWord = new QCheckBox("Match &whole word only", this);
    MatchWholeWord->setObjectName("MatchWholeWord");
    MatchCase = new QCheckBox("Match &case", this);
    MatchCase->setObjectName("MatchCase");

    FindNextButton = new QPushButton("&Find Next", this);
    FindNextButton->setObjectName("FindNextButton");
    FindNextButton->setDefault(true);
    FindNextButton->setEnabled(false);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setObjectName("CancelButton");

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(FindWhat, 0, 1);
    grid->addWidget(MatchWholeWord, 1, 0, 1, 2);
    grid->addWidget(MatchCase, 2, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindNextButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // As in the system's find dialog, Find Next needs something to find.
    connect(FindWhat, &QLineEdit::textChanged, this,
            [this](const QString& text) { FindNextButton->setEnabled(!text.isEmpty()); });
    connect(FindNextButton, &QPushButton::clicked, this, &FindDialog::findNext);
    // Rejecting (Cancel, Escape) only hides: the contents stay for the next
    // use.
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void FindDialog::showAt(int x, int y) {
    move(x, y);
    show();
    raise();
    activateWindow();
    FindWhat->setFocus();
}

std::string FindDialog::searchText() const {
    return toSingleByte(FindWhat->text());
}

bool FindDialog::matchCase() const { return MatchCase->isChecked(); }
bool FindDialog::wholeWord() const { return MatchWholeWord->isChecked(); }

}  // namespace travin
