// The file dialogs, help and printing as a user of today's desktop meets
// them: what is typed is the name, the filter gives the extension, a viewer
// that fails falls back, printed pages have margins, a title and numbers.
#include <gtest/gtest.h>

#include "tests/support/ModalAnswers.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestFolder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "app/DesktopServicesQt.h"
#include "app/DocumentOpener.h"
#include "app/FindDialog.h"
#include "app/HelpWindow.h"
#include "app/ListingPane.h"
#include "tests/support/FakeScreens.h"

namespace {

namespace fs = std::filesystem;
using namespace travin;
using namespace travin::testing;

QLineEdit* nameLine(QFileDialog* dialog) { return dialog->findChild<QLineEdit*>("fileNameEdit"); }

class DailyFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtApplication(); }

    void SetUp() override {
        folder = freshTestFolder("travin-daily-files");
        window = std::make_unique<QWidget>();
        window->resize(800, 620);
        pane = new ListingPane(window.get());
        pane->setGeometry(3, 48, 665, 353);
        desktop = std::make_unique<DesktopServicesQt>(window.get(), pane, notices);
        wb = std::make_unique<Workbench>(Screens{*pane, console, notices, main, timer, clock, *desktop},
                                         folder.string() + "/");
        desktop->openFromHelpWindow = [this](const std::string& path) { wb->help.OpenDocumentAt(path); };
    }

    void TearDown() override {
        wb.reset();
        desktop.reset();
        window.reset();
        fs::remove_all(folder);
    }

    // A fake opener that ends with `status`, as xdg-open does without a
    // browser ("no method available", status 3).
    QString fakeOpener(int status) {
        const fs::path script = folder / ("opener-" + std::to_string(status));
        writeBytes(script, "#!/bin/sh\necho \"$1\" >> \"$0.log\"\necho 'xdg-open: no method available' >&2\nexit " +
                               std::to_string(status) + "\n");
        fs::permissions(script, fs::perms::owner_all);
        return QString::fromStdString(script.string());
    }

    fs::path folder;
    FakeConsole console;
    FakeNotices notices;
    FakeMainView main;
    FakeTimer timer;
    FakeClock clock;
    std::unique_ptr<QWidget> window;
    ListingPane* pane = nullptr;
    std::unique_ptr<DesktopServicesQt> desktop;
    std::unique_ptr<Workbench> wb;
};

// --- Help never ends in silence ---------------------------------------------

struct ViewerCase {
    const char* name;
    const char* document;
    int openerStatus;    // -1: the opener program does not exist
    bool helpWindow;     // the page shows in the workbench's own window
    const char* notice;  // the message, or ""
};

class HelpFallbackTest : public DailyFilesTest, public ::testing::WithParamInterface<ViewerCase> {};

TEST_P(HelpFallbackTest, AViewerThatFailsFallsBack) {
    const ViewerCase& c = GetParam();
    writeBytes(folder / c.document, std::string(c.document).ends_with(".pdf") ? "%PDF-1.4\n" : "<html><body>Help</body></html>");
    desktop->opener().program =
        c.openerStatus < 0 ? QString::fromStdString((folder / "no-such-opener").string()) : fakeOpener(c.openerStatus);
    const std::string path = folder.string() + "/" + c.document;
    wb->help.OpenDocumentAt(path);
    // The opener's end arrives from the event loop.
    const bool expectSomething = c.helpWindow || *c.notice;
    if (expectSomething) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !notices.notices.empty() || (desktop->helpWindow() && desktop->helpWindow()->isVisible()); },
            5000));
    } else {
        QTest::qWait(500);
    }
    EXPECT_EQ(desktop->helpWindow() && desktop->helpWindow()->isVisible(), c.helpWindow);
    if (c.helpWindow) {
        EXPECT_EQ(desktop->helpWindow()->browser()->source(), QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    if (*c.notice) {
        EXPECT_EQ(notices.notices, std::vector<std::string>{c.notice + path + " not found"});
    } else {
        EXPECT_TRUE(notices.notices.empty());
    }
    if (c.openerStatus >= 0) {
        // The opener was given the document.
        EXPECT_EQ(readBytes(fs::path(desktop->opener().program.toStdString() + ".log")), path + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Help, HelpFallbackTest,
    ::testing::Values(ViewerCase{"PageOpenerFails", "uiref.html", 3, true, ""},
                      ViewerCase{"PageOpenerMissing", "langref.html", -1, true, ""},
                      ViewerCase{"PageOpenerWorks", "uiref.html", 0, false, ""},
                      ViewerCase{"ManualOpenerFails", "aci_manual.pdf", 3, false, "PDF viewer or "},
                      ViewerCase{"ManualOpenerMissing", "aci_manual.pdf", -1, false, "PDF viewer or "},
                      ViewerCase{"ManualOpenerWorks", "aci_manual.pdf", 0, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The help window's link to the manual takes the Help menu's way: with no
// viewer the same message, never nothing.
TEST_F(DailyFilesTest, TheHelpWindowsManualLinkSaysSoWhenNoViewerShowsIt) {
    writeBytes(folder / "aci_manual.pdf", "%PDF-1.4\n");
    writeBytes(folder / "tnhelp.html", "<html><body><a href=\"aci_manual.pdf\">ACI Reference (PDF)</a></body></html>");
    desktop->opener().program = fakeOpener(3);
    wb->help.OpenDocumentAt(folder.string() + "/tnhelp.html");
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop->helpWindow() && desktop->helpWindow()->isVisible(); }, 5000));
    QTextBrowser* browser = desktop->helpWindow()->browser();
    emit browser->anchorClicked(QUrl("aci_manual.pdf"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notices.notices.empty(); }, 5000));
    EXPECT_EQ(notices.notices,
              std::vector<std::string>{"PDF viewer or " + folder.string() + "/aci_manual.pdf not found"});
}

// --- The open and save dialogs do what a user types ---------------------------

struct ExtensionCase {
    const char* filter;
    const char* typed;
    const char* saved;
};

class SaveExtensionTest : public DailyFilesTest, public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(SaveExtensionTest, TheNameGetsTheFiltersExtension) {
    const ExtensionCase& c = GetParam();
    pane->setLines({"10 END"});
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->selectNameFilter(c.filter);
        nameLine(dialog)->setText(QString::fromStdString((folder / c.typed).string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    wb->files.FileSaveAsExecute();
    EXPECT_EQ(wb->state.fileName, (folder / c.saved).string());
    EXPECT_TRUE(fs::exists(folder / c.saved));
}

INSTANTIATE_TEST_SUITE_P(Files, SaveExtensionTest,
                         ::testing::Values(ExtensionCase{"Travin files (*.tn)", "mytest", "mytest.tn"},
                                           ExtensionCase{"Text files (*.txt)", "mytest", "mytest.txt"},
                                           ExtensionCase{"All files (*)", "mytest", "mytest.txt"},
                                           ExtensionCase{"Travin files (*.tn)", "notes.txt", "notes.txt"},
                                           ExtensionCase{"All files (*)", "loop.tn", "loop.tn"}));

TEST_F(DailyFilesTest, OpenStartsInTheLastFolderWithAnEmptyNameAndLeavesNoCompletionList) {
    writeBytes(folder / "binary.tn", "10 END\r\n");
    writeBytes(folder / "loop.tn", "20 END\r\n");
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        nameLine(dialog)->setText(QString::fromStdString((folder / "binary.tn").string()));
        // A completion list up when the dialog closes.
        for (QCompleter* c : dialog->findChildren<QCompleter*>()) c->complete();
        static_cast<QDialog*>(dialog)->accept();
    });
    wb->files.FileOpenExecute();
    ASSERT_EQ(wb->state.fileName, (folder / "binary.tn").string());
    for (QCompleter* c : desktop->openDialog()->findChildren<QCompleter*>())
        EXPECT_FALSE(c->popup() && c->popup()->isVisible());

    QString nameAtStart, folderAtStart;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        nameAtStart = nameLine(dialog)->text();
        folderAtStart = dialog->directory().absolutePath();
        // The user types just the name.
        QTest::keyClicks(nameLine(dialog), "loop.tn");
        static_cast<QDialog*>(dialog)->accept();
    });
    wb->files.FileOpenExecute();
    EXPECT_EQ(nameAtStart, "");
    EXPECT_EQ(folderAtStart.toStdString(), fs::canonical(folder).string());
    EXPECT_EQ(fs::path(wb->state.fileName).filename(), "loop.tn");
    EXPECT_EQ(pane->lines(), (std::vector<std::string>{"20 END"}));
}

// --- Printed pages ----------------------------------------------------------

bool isInk(QRgb p) { return qGray(p) < 160; }

TEST_F(DailyFilesTest, PdfPagesHaveMarginsTheFileNameAndPageNumbers) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftotext.isEmpty() || pdftoppm.isEmpty()) GTEST_SKIP() << "poppler-utils is not installed";
    QFont font("Courier");
    font.setPixelSize(15);
    pane->setFont(font);
    std::vector<std::string> lines;
    for (int i = 0; i < 130; ++i) lines.push_back("LINE" + std::to_string(1000 + i) + " PRINT \"########\"");
    pane->setLines(lines);
    desktop->listingTitle = [] { return QStringLiteral("loop.tn"); };

    const fs::path pdf = folder / "loop.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(desktop->printListingOn(printer));

    QProcess run;
    run.start(pdftotext, {"-layout", QString::fromStdString(pdf.string()), "-"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString text = QString::fromUtf8(run.readAllStandardOutput());
    const QStringList pages = text.split(QChar('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2);
    for (int i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(pages[i].contains("loop.tn")) << "page " << i + 1;
        EXPECT_TRUE(pages[i].contains(QString("Page %1 of %2").arg(i + 1).arg(pages.size()))) << "page " << i + 1;
    }
    for (int i = 0; i < 130; ++i) EXPECT_TRUE(text.contains(QString("LINE%1").arg(1000 + i))) << i;

    // The first page as pixels at 72 dpi: no ink within 14 mm of any edge,
    // and text lines at the listing's size (15 pixels at 96 dpi is 11.25
    // points, so a line is at least 11 points from the next).
    const QString prefix = QString::fromStdString((folder / "page").string());
    ASSERT_EQ(QProcess::execute(pdftoppm, {"-r", "72", "-png", "-singlefile", "-f", "1", "-l", "1",
                                           QString::fromStdString(pdf.string()), prefix}),
              0);
    const QImage page(prefix + ".png");
    ASSERT_FALSE(page.isNull());
    const int margin = 14 * 72 / 25;   // 14 mm in points
    int top = page.height(), bottom = -1, left = page.width(), right = -1;
    std::vector<bool> inkRows(static_cast<std::size_t>(page.height()), false);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (isInk(page.pixel(x, y))) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
                inkRows[static_cast<std::size_t>(y)] = true;
            }
    ASSERT_GE(bottom, 0) << "an empty page";
    EXPECT_GE(top, margin);
    EXPECT_GE(left, margin);
    EXPECT_LE(bottom, page.height() - margin);
    EXPECT_LE(right, page.width() - margin);
    int bands = 0;
    for (std::size_t y = 1; y < inkRows.size(); ++y) bands += inkRows[y] && !inkRows[y - 1];
    // Header, footer and the listing's lines: a page of 11-point lines
    // holds at most some 65 of them.
    EXPECT_GT(bands, 20);
    EXPECT_LT(bands, 70);
}

}  // namespace
