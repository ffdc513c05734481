#include "app/DocumentOpener.h"

#include <QDesktopServices>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace travin {

DocumentOpener::DocumentOpener() : guard(std::make_unique<QObject>()) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    program = QStringLiteral("xdg-open");
#endif
}

// A process still running here is left alone (see open()).
DocumentOpener::~DocumentOpener() = default;

bool DocumentOpener::open(const QString& path, std::function<void()> failed) {
    if (program.isEmpty()) return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (QStandardPaths::findExecutable(program).isEmpty() && !program.contains('/')) return false;

    // Without a parent: deleting a QProcess kills its program, and an opener
    // that runs the viewer in the foreground must outlive this window. It is
    // deleted once it ends.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments({path});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto inTime = std::make_shared<bool>(true);
    QObject::connect(process, &QProcess::finished, guard.get(),
                     [process, inTime, failed](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (*inTime && (status != QProcess::NormalExit || code != 0) && failed) failed();
                     });
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(patienceMs, guard.get(), [inTime] { *inTime = false; });
    process->start();
    if (!process->waitForStarted(3000)) {
        delete process;
        return false;
    }
    return true;
}

}  // namespace travin
