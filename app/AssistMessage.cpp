#include "app/AssistMessage.h"

#include "app/AssistFonts.h"
#include "app/SingleByteQt.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace travin {

void ShowAssistMessage(const std::string& text)
{
    // No title is passed; what a desktop shows then is the program's name,
    // which Qt does not fill in by itself everywhere.
    QString title = QCoreApplication::applicationName();
    if (title.isEmpty())
        title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QMessageBox box(QMessageBox::NoIcon, title, fromSingleByte(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace travin
