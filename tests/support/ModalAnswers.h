// Answering the windows a test opens as a user would: a modal window once
// it is up (inside its exec), and a name typed into a file dialog.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>

namespace travin::testing {

// Runs `answer` on the next modal window once it is up (inside its exec).
inline void whenModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(w);
        }
    });
    poll->start();
}

// Types a name into the dialog's file name line, as a user does (the
// dialog's selectFile leaves a focused line alone).
inline void typeFileName(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
}

}  // namespace travin::testing
