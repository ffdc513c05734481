// The desktop services of the workbench with Qt: the open and save dialogs,
// the find dialog, printing the listing, the system's document viewer, the
// About box, the plain message dialog and closing the main window.
//
// Created by the main window, which keeps it for its life. The find dialog
// and the About box are created here, once, and live as long as the main
// window does.
#pragma once

#include <QColor>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>

#include "core/ScreenInterfaces.h"

class QFileDialog;
class QPainter;
class QPrinter;
class QTextDocument;
class QTextEdit;
class QWidget;

namespace travin {

class DocumentOpener;
class FindDialog;
class HelpWindow;
class TAboutBox;

class DesktopServicesQt : public DesktopServices {
public:
    // `mainWindow` owns the dialogs; `listing` is the pane that Find is
    // placed beside and that Print prints; the toolkit's error boxes of
    // printing go through `notices`.
    DesktopServicesQt(QWidget* mainWindow, QTextEdit* listing, Notices& notices);
    ~DesktopServicesQt() override;

    bool runOpenDialog(std::string& path) override;
    bool runSaveDialog(std::string& path) override;
    void showFindDialog() override;
    FindOptions findOptions() const override;
    // Prints at once on the system's default printer.
    bool printListing() override;
    // The export dialog, then the listing printed into the chosen file.
    bool exportListingPdf() override;
    // Opens with the system's default viewer; a file that does not exist is
    // a failure, as the viewer itself may not say so. An HTML page the
    // system cannot show opens in the workbench's own help window.
    bool openDocument(const std::string& path) override;
    // A viewer that fails later (the opener's exit status) falls back as
    // one that could not start: an HTML page to the help window, anything
    // else to `failedLater`.
    bool openDocumentWatched(const std::string& path, std::function<void()> failedLater) override;
    void showAboutBox() override;
    void showMessage(const std::string& text) override;
    void closeMainWindow() override;

    // Prints the listing on a given printer (the default one, or in tests a
    // PDF printer): empty document title, the listing as the pane formats it
    // with its colours and at its font size, page after page inside the
    // printer's margins (at least 15 mm), the listing's name in a header and
    // "Page n of m" in a footer. False
    // after the error box when the printer cannot begin; `failure` is that
    // box's text (by default it names the printer).
    bool printListingOn(QPrinter& printer, const QString& failure = {});

    // A copy of the listing's document laid out for pages of `pageSize`, in
    // the pane's own units (its screen pixels), wrapping long lines at the
    // page's width; its pageCount() tells how many pages it fills. Text in
    // `screenText` (the pane's own text colour) is made black for paper.
    static std::unique_ptr<QTextDocument> pagedCopy(const QTextDocument& listing, const QSizeF& pageSize,
                                                    const QColor& screenText = QColor());
    // The same for a pane: its colour marks (the pane's extra selections)
    // become the copy's character colours, so the copy looks as the pane does;
    // the pane's own text colour is made black.
    static std::unique_ptr<QTextDocument> pagedCopy(const QTextEdit& listing, const QSizeF& pageSize);
    // Paints one page of such a copy; the painter's origin is the page's
    // top-left corner.
    static void paintPage(QTextDocument& paged, int page, QPainter& painter);

    FindDialog* findDialog() const { return find; }
    TAboutBox* aboutBox() const { return about; }
    QFileDialog* openDialog() const { return openFiles; }
    QFileDialog* saveDialog() const { return saveFiles; }
    QFileDialog* pdfDialog() const { return pdfFiles; }
    // Made on first use.
    HelpWindow* helpWindow() const { return help; }

    // Save As gives a typed name without an extension that of the filter
    // chosen: ".tn" for Travin files, ".txt" for Text files and All files.
    static QString withFilterExtension(const QString& path, const QString& filter);

    // The system's opener; tests put a fake program in it.
    DocumentOpener& opener() { return *documentOpener; }
    // How documents are handed to the system: by default to opener(), whose
    // later failure falls back as a failure to start does. Tests replace it
    // so that no viewer starts.
    std::function<bool(const QString& path)> launchDocument;
    // Opens a file that a link in the help window names and that is no HTML
    // page (the PDF manual), with the Help menu's own fallback; the main
    // window points it at the core.
    std::function<void(const std::string& path)> openFromHelpWindow;
    // The listing's name for the printed header; the main window sets it.
    std::function<QString()> listingTitle;
    // The toolkit's plain message dialog; tests replace it to answer it.
    std::function<void(const QString& text)> messageBox;

private:
    QWidget* mainWindow;
    QTextEdit* listing;
    Notices& notices;
    FindDialog* find;
    TAboutBox* about;
    QFileDialog* openFiles;
    QFileDialog* saveFiles;
    QFileDialog* pdfFiles;
    HelpWindow* help = nullptr;
    std::unique_ptr<DocumentOpener> documentOpener;
    // What openDocumentWatched was told to run, for the opener's late failure.
    std::function<void()> pendingFailure;

    void viewerFailed(const QString& path, const std::function<void()>& failedLater);
    void showInHelpWindow(const QString& path);
};

}  // namespace travin
