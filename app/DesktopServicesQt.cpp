#include "app/DesktopServicesQt.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
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
#include <utility>
#include <vector>

#include "app/FindDialog.h"
#include "app/SingleByteQt.h"
#include "app/HelpWindow.h"
#include "app/TAboutBox.h"

namespace travin {

namespace {

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
    return dialog;
}

}  // namespace

DesktopServicesQt::DesktopServicesQt(QWidget* window, QTextEdit* pane, Notices& boxes)
    : mainWindow(window), listing(pane), notices(boxes) {
    find = new FindDialog(mainWindow);
    about = new TAboutBox(mainWindow);
    // Kept for the window's life, so each remembers its folder, its filter
    // choice and (for Open) the last file name confirmed.
    openFiles = makeFileDialog(mainWindow, "Open File", QFileDialog::AcceptOpen);
    saveFiles = makeFileDialog(mainWindow, "Save As", QFileDialog::AcceptSave);
    pdfFiles = new QFileDialog(mainWindow, "Export as PDF");
    pdfFiles->setAcceptMode(QFileDialog::AcceptSave);
    pdfFiles->setNameFilters({"PDF files (*.pdf)", "All files (*)"});
    pdfFiles->setDefaultSuffix("pdf");

    launchDocument = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
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
    if (openFiles->exec() != QDialog::Accepted || openFiles->selectedFiles().isEmpty()) return false;
    path = toCorePath(openFiles->selectedFiles().front());
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
    path = toCorePath(saveFiles->selectedFiles().front());
    return true;
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
    // The painter's origin at the printable area's corner, with no margins
    // beyond what the printer cannot reach.
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

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
    const auto paged = pagedCopy(*listing, QSizeF(area.width() / scaleX, area.height() / scaleY));

    painter.scale(scaleX, scaleY);
    const int pages = paged->pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            painter.end();
            return fail();
        }
        paintPage(*paged, page, painter);
    }
    if (!painter.end()) return fail();
    return true;
}

bool DesktopServicesQt::openDocument(const std::string& path) {
    const QString file = fromCorePath(path);
    // The system's viewer may report success for a file that is not there;
    // a missing document is a failure here.
    const QFileInfo info(file);
    if (!info.isFile()) return false;
    if (launchDocument(file)) return true;
    const QString suffix = info.suffix().toLower();
    if (suffix != "html" && suffix != "htm") return false;
    if (!help) help = new HelpWindow(mainWindow);
    help->showPage(file);
    return true;
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
