#include "app/DesktopServicesQt.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QUrl>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/DocumentOpener.h"
#include "app/FindDialog.h"
#include "app/SingleByteQt.h"
#include "app/HelpWindow.h"
#include "app/TAboutBox.h"

namespace travin {

namespace {

// No text nearer the paper's edge than this, whatever the printer allows.
constexpr double kMinMarginMm = 15.0;

const QStringList kFileFilters{"Travin files (*.tn)", "Text files (*.txt)", "All files (*)"};

QFileDialog* makeFileDialog(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent, title);
    dialog->setAcceptMode(mode);
    // Open, too, accepts a typed name of a file that does not exist: the
    // failure is then the open error, as for any unreadable file.
    dialog->setFileMode(QFileDialog::AnyFile);
    // The choices show by name only ("Travin files", ...), the patterns
    // behind them.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setNameFilters(kFileFilters);
    dialog->selectNameFilter(kFileFilters.front());
    dialog->setDefaultSuffix("txt");
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    // The name line's completion list belongs to the dialog: once it closes
    // no list of it may stay on the screen to swallow the next click.
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (QCompleter* completer : dialog->findChildren<QCompleter*>()) {
            if (completer->popup()) completer->popup()->hide();
        }
    });
    return dialog;
}

}  // namespace

DesktopServicesQt::DesktopServicesQt(QWidget* window, QTextEdit* pane, Notices& boxes)
    : mainWindow(window), listing(pane), notices(boxes) {
    find = new FindDialog(mainWindow);
    // The dialog keeps the keys while it finds; leaving it with Escape or
    // Cancel hands them to the listing, where the last hit is selected.
    QObject::connect(find, &QDialog::rejected, listing, [this] {
        listing->activateWindow();
        listing->setFocus(Qt::OtherFocusReason);
    });
    about = new TAboutBox(mainWindow);
    // Kept for the window's life, so each remembers its folder, its filter
    // choice and (for Open) the last file name confirmed.
    openFiles = makeFileDialog(mainWindow, "Open File", QFileDialog::AcceptOpen);
    saveFiles = makeFileDialog(mainWindow, "Save As", QFileDialog::AcceptSave);
    // The extension follows the filter chosen, applied after the dialog.
    saveFiles->setDefaultSuffix(QString());
    pdfFiles = new QFileDialog(mainWindow, "Export as PDF");
    pdfFiles->setAcceptMode(QFileDialog::AcceptSave);
    pdfFiles->setNameFilters({"PDF files (*.pdf)", "All files (*)"});
    pdfFiles->setDefaultSuffix("pdf");

    documentOpener = std::make_unique<DocumentOpener>();
    launchDocument = [this](const QString& path) {
        return documentOpener->open(path, [this, path, failedLater = pendingFailure] {
            viewerFailed(path, failedLater);
        });
    };
    messageBox = [this](const QString& text) {
        // Titled with the application's name, which defaults to the
        // executable's name.
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                        mainWindow);
        box.exec();
    };
}

// The dialogs belong to the main window, which deletes them.
DesktopServicesQt::~DesktopServicesQt() = default;

bool DesktopServicesQt::runOpenDialog(std::string& path) {
    // In the last folder, with an empty name line: what the user types is
    // the whole name, not something added to the last one.
    if (auto* name = openFiles->findChild<QLineEdit*>("fileNameEdit")) name->clear();
    if (openFiles->exec() != QDialog::Accepted || openFiles->selectedFiles().isEmpty()) return false;
    const QString chosen = openFiles->selectedFiles().front();
    // A full path typed into the name line leaves the dialog where it was;
    // the next Open starts in the folder of the file chosen.
    openFiles->setDirectory(QFileInfo(chosen).absolutePath());
    path = toCorePath(chosen);
    return true;
}

bool DesktopServicesQt::runSaveDialog(std::string& path) {
    // Preset on every use: the listing's name, and its folder when it has
    // one (an untitled listing leaves the folder to the dialog).
    const QString preset = fromCorePath(path);
    const QFileInfo info(preset);
    if (info.isAbsolute()) saveFiles->setDirectory(info.absolutePath());
    saveFiles->selectFile(info.isAbsolute() ? info.absoluteFilePath() : preset);
    if (saveFiles->exec() != QDialog::Accepted || saveFiles->selectedFiles().isEmpty()) return false;
    path = toCorePath(withFilterExtension(saveFiles->selectedFiles().front(), saveFiles->selectedNameFilter()));
    return true;
}

QString DesktopServicesQt::withFilterExtension(const QString& path, const QString& filter) {
    const QFileInfo info(path);
    // A name with an extension of its own, or one that exists, is taken
    // as typed.
    if (path.isEmpty() || !info.suffix().isEmpty() || info.exists()) return path;
    return path + (filter.startsWith("Travin") ? QStringLiteral(".tn") : QStringLiteral(".txt"));
}

void DesktopServicesQt::showFindDialog() {
    // The pane's position inside the window, used as screen coordinates
    // without conversion: the dialog opens at the listing's right edge.
    find->showAt(listing->x() + listing->width(), listing->y());
}

DesktopServices::FindOptions DesktopServicesQt::findOptions() const {
    return FindOptions{find->searchText(), find->matchCase(), find->wholeWord()};
}

bool DesktopServicesQt::printListing() {
    // Qt prints nothing and says nothing without a printer, so look first.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        notices.showErrorBox("There is no default printer currently selected.");
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    return printListingOn(printer);
}

std::unique_ptr<QTextDocument> DesktopServicesQt::pagedCopy(const QTextDocument& source, const QSizeF& pageSize,
                                                            const QColor& screenText) {
    std::unique_ptr<QTextDocument> copy(source.clone());
    // The mark reset gives plain text the screen's text colour as its own,
    // which on a dark theme is light: on paper that text is dark again,
    // and only the marks keep their colours.
    if (screenText.isValid()) {
        std::vector<std::pair<int, int>> plain;   // start, length
        for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().color() == screenText)
                    plain.emplace_back(fragment.position(), fragment.length());
            }
        }
        QTextCharFormat dark;
        dark.setForeground(QColor(Qt::black));
        for (const auto& [start, length] : plain) {
            QTextCursor range(copy.get());
            range.setPosition(start);
            range.setPosition(start + length, QTextCursor::KeepAnchor);
            range.mergeCharFormat(dark);
        }
    }
    // The bare listing: no margin of its own; long lines wrap at the page's
    // edge instead of running off it.
    copy->setDocumentMargin(0);
    QTextOption option = source.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    copy->setDefaultTextOption(option);
    copy->setPageSize(pageSize);
    return copy;
}

std::unique_ptr<QTextDocument> DesktopServicesQt::pagedCopy(const QTextEdit& source, const QSizeF& pageSize) {
    auto copy = pagedCopy(*source.document(), pageSize, source.palette().color(QPalette::Text));
    for (const QTextEdit::ExtraSelection& mark : source.extraSelections()) {
        QTextCursor c(copy.get());
        c.setPosition(mark.cursor.selectionStart());
        c.setPosition(mark.cursor.selectionEnd(), QTextCursor::KeepAnchor);
        c.mergeCharFormat(mark.format);
    }
    return copy;
}

void DesktopServicesQt::paintPage(QTextDocument& paged, int page, QPainter& painter) {
    const QSizeF size = paged.pageSize();
    painter.save();
    const QRectF area(0, page * size.height(), size.width(), size.height());
    painter.translate(0, -area.top());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = area;
    context.palette.setColor(QPalette::Text, Qt::black);
    painter.setClipRect(area);
    paged.documentLayout()->draw(&painter, context);
    painter.restore();
}

bool DesktopServicesQt::exportListingPdf() {
    if (pdfFiles->exec() != QDialog::Accepted || pdfFiles->selectedFiles().isEmpty()) return false;
    const QString file = pdfFiles->selectedFiles().front();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return printListingOn(printer, "Cannot create file " + file + ".");
}

bool DesktopServicesQt::printListingOn(QPrinter& printer, const QString& failure) {
    printer.setDocName(QString());
    // The painter's origin at the corner of the area inside the margins:
    // the printer's own margins, widened to a sheet's usual edge where they
    // are narrower (a PDF has none), so nothing is printed flush to the
    // paper's corner.
    printer.setFullPage(false);
    const QMarginsF own = printer.pageLayout().margins(QPageLayout::Millimeter);
    printer.setPageMargins(QMarginsF(std::max(own.left(), kMinMarginMm), std::max(own.top(), kMinMarginMm),
                                     std::max(own.right(), kMinMarginMm), std::max(own.bottom(), kMinMarginMm)),
                           QPageLayout::Millimeter);

    const QString name = printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName();
    const auto fail = [&] {
        notices.showErrorBox(toCorePath(failure.isEmpty() ? "Printing on " + name + " failed." : failure));
        return false;
    };
    QPainter painter;
    if (!painter.begin(&printer)) return fail();

    // Laid out at the pane's resolution and scaled up to the printer's, so
    // the pane's pixel-sized font prints at the size it shows.
    const double scaleX = printer.logicalDpiX() / double(listing->logicalDpiX());
    const double scaleY = printer.logicalDpiY() / double(listing->logicalDpiY());
    const QRectF area = printer.pageRect(QPrinter::DevicePixel);
    const QSizeF inside(area.width() / scaleX, area.height() / scaleY);
    // A header with the file's name and a footer with the page number, each
    // a line of the listing's font and a gap.
    const QFont font = listing->font();
    const double band = QFontMetricsF(font, listing).height() * 2;
    const auto paged = pagedCopy(*listing, QSizeF(inside.width(), std::max(inside.height() - 2 * band, band)));

    painter.scale(scaleX, scaleY);
    const QString title = listingTitle ? listingTitle() : QString();
    const int pages = paged->pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            painter.end();
            return fail();
        }
        painter.save();
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, inside.width(), band / 2), Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.drawText(QRectF(0, inside.height() - band / 2, inside.width(), band / 2), Qt::AlignHCenter | Qt::AlignVCenter,
                         QString("Page %1 of %2").arg(page + 1).arg(pages));
        painter.translate(0, band);
        paintPage(*paged, page, painter);
        painter.restore();
    }
    if (!painter.end()) return fail();
    return true;
}

bool DesktopServicesQt::openDocument(const std::string& path) { return openDocumentWatched(path, {}); }

bool DesktopServicesQt::openDocumentWatched(const std::string& path, std::function<void()> failedLater) {
    const QString file = fromCorePath(path);
    // The system's viewer may report success for a file that is not there;
    // a missing document is a failure here.
    const QFileInfo info(file);
    if (!info.isFile()) return false;
    pendingFailure = std::move(failedLater);
    const bool started = launchDocument(file);
    pendingFailure = nullptr;
    if (started) return true;
    const QString suffix = info.suffix().toLower();
    if (suffix != "html" && suffix != "htm") return false;
    showInHelpWindow(file);
    return true;
}

void DesktopServicesQt::viewerFailed(const QString& path, const std::function<void()>& failedLater) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "html" || suffix == "htm") showInHelpWindow(path);
    else if (failedLater) failedLater();
}

void DesktopServicesQt::showInHelpWindow(const QString& file) {
    if (!help) {
        help = new HelpWindow(mainWindow);
        // The manual linked from a page takes the Help menu's way, with its
        // message when no viewer shows it.
        help->openOutside = [this](const QUrl& target) {
            if (target.isLocalFile() && openFromHelpWindow) openFromHelpWindow(toCorePath(target.toLocalFile()));
            else QDesktopServices::openUrl(target);
        };
    }
    help->showPage(file);
}

void DesktopServicesQt::showAboutBox() {
    about->showModal();
}

void DesktopServicesQt::showMessage(const std::string& text) {
    messageBox(fromSingleByte(text));
}

void DesktopServicesQt::closeMainWindow() {
    mainWindow->close();
}

}  // namespace travin
