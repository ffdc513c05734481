// The Qt side of source files, find, print, help and the About box,
// offscreen: the real listing pane and the real dialogs, answered by the
// test, around the workbench core.
#include <gtest/gtest.h>

#include "tests/support/TestFolder.h"
#include <QTest>
#include <QClipboard>

#include "tests/support/ModalAnswers.h"
#include "tests/support/QtTestApp.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/DesktopServicesQt.h"
#include "app/FindDialog.h"
#include "app/HelpWindow.h"
#include "app/ListingPane.h"
#include "app/SingleByteQt.h"
#include "app/TAboutBox.h"
#include "tests/support/FakeScreens.h"

namespace {

namespace fs = std::filesystem;
using namespace travin;
using namespace travin::testing;

using travin::testing::readBytes;
using travin::testing::writeBytes;

void answerFileDialog(const QString& path) {
    whenModal([path](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        typeFileName(dialog, path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

class DesktopQtTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        travin::testing::ensureQtApplication();
    }

    void SetUp() override {
        folder = travin::testing::freshTestFolder("travin-desktop");
        makeBench(folder.string() + "/");
    }

    void makeBench(const std::string& executableFolder) {
        wb.reset();
        desktop.reset();
        window = std::make_unique<QWidget>();
        window->resize(800, 620);
        pane = new ListingPane(window.get());
        pane->setGeometry(3, 48, 665, 353);
        desktop = std::make_unique<DesktopServicesQt>(window.get(), pane, notices);
        QObject::connect(desktop->findDialog(), &FindDialog::findNext, [this] { wb->find.FindDialog1Find(); });
        wb = std::make_unique<Workbench>(Screens{*pane, console, notices, main, timer, clock, *desktop},
                                         executableFolder);
    }

    void TearDown() override {
        wb.reset();
        desktop.reset();
        window.reset();
        fs::remove_all(folder);
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

// Every byte value 1 to 255 read into the real pane and saved back
// unchanged (LF and CR as the file's CR LF line ends).
TEST_F(DesktopQtTest, AllByteValuesRoundTripThroughThePane) {
    std::string line;
    for (int b = 1; b <= 255; ++b)
        if (b != '\r' && b != '\n') line.push_back(static_cast<char>(b));
    const std::string file = line + "\r\n\tindented\r\n\r\n" + line + "\r\n";
    writeBytes(folder / "bytes.tn", file);

    answerFileDialog(QString::fromStdString((folder / "bytes.tn").string()));
    wb->files.FileOpenExecute();
    ASSERT_TRUE(notices.errorBoxes.empty());
    EXPECT_EQ(pane->lines(), (std::vector<std::string>{line, "\tindented", "", line}));
    EXPECT_FALSE(pane->modified());

    wb->state.unsavedChanges = true;
    wb->files.FileSaveExecute();
    EXPECT_EQ(readBytes(folder / "bytes.tn"), file);
}

// Every line break the user can make in the pane is a line of the listing:
// Shift+Enter and pasted CR LF or CR text end lines as Enter does, so what
// is seen is what is saved and downloaded.
TEST_F(DesktopQtTest, ShiftEnterAndPastedLineEndsMakeListingLines) {
    window->show();
    pane->setFocus();
    QTest::keyClicks(pane, "10 A=1");
    QTest::keyClick(pane, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(pane, "20 END");
    EXPECT_EQ(pane->lines(), (std::vector<std::string>{"10 A=1", "20 END"}));
    EXPECT_EQ(pane->lineStart(1), 8);

    pane->clear();
    QApplication::clipboard()->setText(QString::fromLatin1("30 B=2\r\n40 C=3\r50 END\r\n"));
    pane->paste();
    EXPECT_EQ(pane->lines(), (std::vector<std::string>{"30 B=2", "40 C=3", "50 END"}));

    pane->clear();
    QApplication::clipboard()->setText(QString("60 D=4") + QChar(QChar::LineSeparator) + "70 END");
    pane->paste();
    EXPECT_EQ(pane->lines(), (std::vector<std::string>{"60 D=4", "70 END"}));
}

TEST_F(DesktopQtTest, FileDialogsCarryTheirTitlesFiltersAndDefaultExtension) {
    for (QFileDialog* d : {desktop->openDialog(), desktop->saveDialog()}) {
        EXPECT_EQ(d->nameFilters(), QStringList({"Travin files (*.tn)", "Text files (*.txt)", "All files (*)"}));
        // The choice shows by its name alone.
        EXPECT_EQ(d->selectedNameFilter(), "Travin files");
        EXPECT_TRUE(d->testOption(QFileDialog::HideNameFilterDetails));
    }
    // Open adds "txt" to a typed name; Save As adds the chosen filter's
    // extension itself, after the dialog (see DailyFilesTest).
    EXPECT_EQ(desktop->openDialog()->defaultSuffix(), "txt");
    EXPECT_EQ(desktop->saveDialog()->defaultSuffix(), "");
    EXPECT_EQ(desktop->openDialog()->windowTitle(), "Open File");
    EXPECT_EQ(desktop->saveDialog()->windowTitle(), "Save As");
    EXPECT_EQ(desktop->openDialog()->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(desktop->saveDialog()->acceptMode(), QFileDialog::AcceptSave);
}

TEST_F(DesktopQtTest, SaveAsAddsTxtAndRemembersTheFilterThePresetIsTheListingsPath) {
    pane->setLines({"10 END"});
    wb->state.unsavedChanges = true;
    whenModal([this](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        d->selectNameFilter("Text files (*.txt)");
        d->setDirectory(QString::fromStdString(folder.string()));
        typeFileName(d, "prog");
        static_cast<QDialog*>(d)->accept();
    });
    wb->files.FileSaveAsExecute();
    const fs::path saved = folder / "prog.txt";
    EXPECT_EQ(readBytes(saved), "10 END\r\n");
    EXPECT_EQ(wb->state.fileName, saved.string());
    EXPECT_EQ(main.status, "prog.txt");

    // The next use starts in the listing's folder with its name and the
    // filter chosen last; cancelling it keeps the changes.
    wb->state.unsavedChanges = true;
    QString presetFile, presetFilter, presetFolder;
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        presetFile = d->selectedFiles().value(0);
        presetFilter = d->selectedNameFilter();
        presetFolder = d->directory().absolutePath();
        d->reject();
    });
    wb->files.FileSaveAsExecute();
    EXPECT_EQ(presetFile.toStdString(), saved.string());
    EXPECT_EQ(presetFilter, "Text files");
    EXPECT_EQ(presetFolder.toStdString(), folder.string());
    EXPECT_TRUE(wb->state.unsavedChanges);
}

TEST_F(DesktopQtTest, OpenDialogAcceptsAMissingNameAndThatIsTheOpenError) {
    pane->setLines({"mine"});
    const fs::path missing = folder / "nothere.tn";
    answerFileDialog(QString::fromStdString(missing.string()));
    wb->files.FileOpenExecute();
    ASSERT_EQ(notices.errorBoxes, std::vector<std::string>{"Cannot open file " + missing.string() + "."});
    EXPECT_EQ(pane->lines(), std::vector<std::string>{"mine"});
    EXPECT_EQ(wb->state.fileName, "Untitled.txt");
}

TEST_F(DesktopQtTest, FindDialogOpensBesideTheListingOnceAndKeepsItsContents) {
    wb->find.EditFind1Execute();
    FindDialog* find = desktop->findDialog();
    EXPECT_TRUE(find->isVisible());
    EXPECT_FALSE(find->isModal());
    EXPECT_EQ(find->pos(), QPoint(3 + 665, 48));

    find->FindWhat->setText("AA");
    find->MatchCase->setChecked(true);
    find->move(10, 10);
    wb->find.EditFind1Execute();   // moves the open dialog back, no second one
    EXPECT_EQ(find->pos(), QPoint(668, 48));
    EXPECT_EQ(window->findChildren<FindDialog*>().size(), 1);

    find->CancelButton->click();
    EXPECT_FALSE(find->isVisible());
    wb->find.EditFind1Execute();
    EXPECT_EQ(find->FindWhat->text(), "AA");
    EXPECT_TRUE(find->MatchCase->isChecked());
    EXPECT_FALSE(find->MatchWholeWord->isChecked());
}

TEST_F(DesktopQtTest, FindNextInTheRealPaneStepsThroughHitsAndWraps) {
    pane->setLines({"X", "AAAA"});
    wb->find.EditFind1Execute();
    FindDialog* find = desktop->findDialog();
    find->FindWhat->setText("aa");
    std::vector<std::pair<int, std::string>> seen;
    for (int i = 0; i < 3; ++i) {
        find->FindNextButton->click();
        seen.emplace_back(pane->selectionStart(), pane->selectedText());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{3, "AA"}, {5, "AA"}, {3, "AA"}}));
    EXPECT_TRUE(find->isVisible());
}

TEST_F(DesktopQtTest, NotFoundIsThePlainMessageUnderTheApplicationsTitle) {
    pane->setLines({"10 A=1"});
    desktop->findDialog()->FindWhat->setText("zz");
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    wb->find.FindDialog1Find();
    EXPECT_EQ(text, "Seach string 'zz' not found");
    EXPECT_EQ(title, QCoreApplication::applicationName());
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}

// Marks a line red as a breakpoint does.
void markLine(ListingPane* pane, int line, Rgb colour) {
    const int start = pane->lineStart(line);
    const int end = pane->lineStart(line + 1) - 2;
    pane->setSelection(start, end - start);
    pane->setSelectionColor(colour);
    pane->setSelection(0, 0);
}

bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90; }
bool isDark(QRgb p) { return qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90; }

// The red line printed on a PDF printer, rendered back to pixels: with
// pdftoppm when it is installed, else by rasterising the page the printer
// was given.
TEST_F(DesktopQtTest, PrintKeepsTheBreakpointColour) {
    QFont font("Courier");
    font.setPixelSize(15);
    pane->setFont(font);
    std::vector<std::string> lines;
    for (int i = 0; i < 12; ++i) lines.push_back("10 PRINT \"LINE " + std::to_string(i) + "\" ########");
    pane->setLines(lines);
    markLine(pane, 5, kRed);
    pane->setSelection(2, 3);
    const QString before = pane->toHtml();

    const fs::path pdf = folder / "listing.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(desktop->printListingOn(printer));
    EXPECT_TRUE(notices.errorBoxes.empty());
    EXPECT_TRUE(printer.docName().isEmpty());
    EXPECT_EQ(pane->toHtml(), before);
    EXPECT_EQ(pane->selectionStart(), 2);
    EXPECT_EQ(pane->selectionLength(), 3);
    ASSERT_GT(fs::file_size(pdf), 0u);

    QImage page;
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (!pdftoppm.isEmpty()) {
        const QString prefix = QString::fromStdString((folder / "page").string());
        ASSERT_EQ(QProcess::execute(pdftoppm, {"-r", "72", "-png", "-singlefile",
                                               QString::fromStdString(pdf.string()), prefix}),
                  0);
        page.load(prefix + ".png");
        RecordProperty("rendered_by", "pdftoppm");
    } else {
        page = QImage(600, 800, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        auto paged = DesktopServicesQt::pagedCopy(*pane, page.size());
        DesktopServicesQt::paintPage(*paged, 0, painter);
        RecordProperty("rendered_by", "QImage");
    }
    ASSERT_FALSE(page.isNull());
    // Rows holding red ink and rows holding black ink: the red band lies
    // between black ones (lines 0-4 above, 6-11 below).
    int firstRed = -1, lastRed = -1, darkAbove = 0, darkBelow = 0;
    for (int y = 0; y < page.height(); ++y) {
        bool red = false, dark = false;
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            red = red || isRed(p);
            dark = dark || isDark(p);
        }
        if (red) {
            if (firstRed < 0) firstRed = y;
            lastRed = y;
        } else if (dark) {
            (firstRed < 0 ? darkAbove : darkBelow)++;
        }
    }
    ASSERT_GE(firstRed, 0) << "no red line on the printed page";
    EXPECT_GT(darkAbove, 0);
    EXPECT_GT(darkBelow, 0);
    EXPECT_LT(lastRed - firstRed, page.height() / 10);
}

TEST_F(DesktopQtTest, ALongListingGoesOnOverSeveralPagesWithEveryLine) {
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) lines.push_back("LINE" + std::to_string(1000 + i));
    pane->setLines(lines);
    const fs::path pdf = folder / "long.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(desktop->printListingOn(printer));

    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess run;
    run.start(pdftotext, {"-layout", QString::fromStdString(pdf.string()), "-"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString text = QString::fromLatin1(run.readAllStandardOutput());
    // Pages are separated by form feeds.
    EXPECT_GE(text.count(QChar('\f')), 2);
    for (int i = 0; i < 300; ++i) EXPECT_TRUE(text.contains(QString("LINE%1").arg(1000 + i))) << i;
}

TEST_F(DesktopQtTest, APrinterThatCannotBeginGivesTheErrorBoxAndLeavesTheListing) {
    pane->setLines({"10 END"});
    markLine(pane, 0, kRed);
    const QString before = pane->toHtml();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((folder / "no" / "such" / "x.pdf").string()));
    EXPECT_FALSE(desktop->printListingOn(printer));
    ASSERT_EQ(notices.errorBoxes.size(), 1u);
    EXPECT_NE(notices.errorBoxes[0].find("failed"), std::string::npos);
    EXPECT_EQ(pane->toHtml(), before);
}

TEST_F(DesktopQtTest, PrintWithoutAnyPrinterGivesTheErrorBox) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a default printer exists on this machine";
    pane->setLines({"10 END"});
    wb->find.PrintMenuClick();
    EXPECT_EQ(notices.errorBoxes, std::vector<std::string>{"There is no default printer currently selected."});
    EXPECT_EQ(pane->lines(), std::vector<std::string>{"10 END"});
}

TEST_F(DesktopQtTest, AMissingHelpDocumentNamesTheFullPathAlsoForALongFolder) {
    std::vector<QString> launched;
    const auto record = [&](const QString& p) { launched.push_back(p); return true; };
    desktop->launchDocument = record;
    wb->help.UserInterface1Click();
    EXPECT_EQ(notices.notices, std::vector<std::string>{"Browser or " + folder.string() + "/uiref.html not found"});

    fs::path deep = folder;
    while (deep.string().size() <= 120) deep /= "a-rather-long-folder-name";
    fs::create_directories(deep);
    makeBench(deep.string() + "/");
    desktop->launchDocument = record;
    wb->help.ACIReference1Click();
    // The manual has no viewer to fall back on: the message names the one missing.
    const std::string want = "PDF viewer or " + deep.string() + "/aci_manual.pdf not found";
    ASSERT_GT(want.size(), 130u);
    EXPECT_EQ(notices.notices.back(), want);
    EXPECT_TRUE(launched.empty());

    // A document that is there goes to the viewer, and a viewer that fails
    // gives the same message.
    writeBytes(deep / "funcref.html", "<html></html>");
    wb->help.FunctionandSubroutineReference1Click();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].toStdString(), deep.string() + "/funcref.html");
    EXPECT_EQ(notices.notices.size(), 2u);
    EXPECT_EQ(desktop->helpWindow(), nullptr);
}

// No system viewer for HTML: the page opens in the help window, and a click
// on a link there opens the page it names, from the same folder.
TEST_F(DesktopQtTest, WithoutASystemViewerAPageOpensInTheHelpWindowAndItsLinksWork) {
    desktop->launchDocument = [](const QString&) { return false; };
    writeBytes(folder / "funcref.html",
               "<html><head><title>Functions</title></head><body><p>See the <a href=\"langref.html\">"
               "language</a>.</p></body></html>");
    writeBytes(folder / "langref.html",
               "<html><head><title>Language</title></head><body><p>Statements</p></body></html>");
    wb->help.FunctionandSubroutineReference1Click();
    EXPECT_TRUE(notices.notices.empty());
    HelpWindow* help = desktop->helpWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(help->isVisible());
    QTextBrowser* browser = help->browser();
    EXPECT_EQ(browser->source(), QUrl::fromLocalFile(QString::fromStdString((folder / "funcref.html").string())));
    EXPECT_EQ(help->windowTitle(), "Functions");

    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTextCursor link = browser->document()->find("language");
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 2);
    const QPoint at = browser->cursorRect(link).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(browser->source(), QUrl::fromLocalFile(QString::fromStdString((folder / "langref.html").string())));
    EXPECT_TRUE(browser->toPlainText().contains("Statements"));
    EXPECT_EQ(help->windowTitle(), "Language");

    // The manual is no HTML page: it keeps the message.
    wb->help.ACIReference1Click();
    EXPECT_EQ(notices.notices, std::vector<std::string>{"PDF viewer or " + folder.string() + "/aci_manual.pdf not found"});
}

TEST_F(DesktopQtTest, TheAboutBoxShowsTheSameContentEveryTime) {
    TAboutBox* about = desktop->aboutBox();
    for (int round = 0; round < 2; ++round) {
        bool seen = false;
        whenModal([&](QWidget* w) {
            EXPECT_EQ(w, about);
            EXPECT_EQ(w->windowTitle(), "About Travin");
            EXPECT_EQ(w->size(), QSize(177, 116));
            EXPECT_EQ(w->minimumSize(), w->maximumSize());
            EXPECT_EQ(about->Panel1->geometry(), QRect(8, 8, 161, 65));
            EXPECT_EQ(about->ProgramIcon->geometry(), QRect(16, 16, 33, 33));
            EXPECT_EQ(about->ProductName->pos(), QPoint(64, 8));
            EXPECT_EQ(about->ProductName->text(), "Travin");
            EXPECT_EQ(about->Version->pos(), QPoint(64, 24));
            EXPECT_EQ(about->Version->text(), "Version 1.11");
            EXPECT_EQ(about->Comments->pos(), QPoint(16, 48));
            EXPECT_TRUE(about->Comments->text().isEmpty());
            EXPECT_TRUE(about->Comments->wordWrap());
            EXPECT_EQ(about->OKButton->geometry(), QRect(55, 84, 75, 25));
            EXPECT_TRUE(about->OKButton->isDefault());
            seen = true;
            about->OKButton->click();
        });
        wb->help.HelpAboutExecute();
        EXPECT_TRUE(seen);
        EXPECT_FALSE(about->isVisible());
    }
    const QImage icon = travinProgramPixmap().toImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_FALSE(about->ProgramIcon->pixmap().isNull());
}

// Every page of a PDF as pixels, by pdftoppm (poppler-utils, which the
// setup script installs).
std::vector<QImage> renderPages(const fs::path& pdf, const fs::path& prefix) {
    std::vector<QImage> pages;
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty()) return pages;
    if (QProcess::execute(pdftoppm, {"-r", "50", "-png", QString::fromStdString(pdf.string()),
                                     QString::fromStdString(prefix.string())}) != 0)
        return pages;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(prefix.parent_path()))
        if (entry.path().filename().string().rfind(prefix.filename().string() + "-", 0) == 0) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) pages.emplace_back(QString::fromStdString(f.string()));
    return pages;
}

int countPixels(const QImage& page, bool (*kind)(QRgb)) {
    int n = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) n += kind(page.pixel(x, y)) ? 1 : 0;
    return n;
}

// A listing as a dark desktop theme shows it: light text on a dark pane,
// every character given the pane's colour by the mark reset, one line red.
void darkListing(ListingPane* pane, Workbench& wb, int lineCount) {
    QPalette dark = pane->palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(240, 240, 240));
    pane->setPalette(dark);
    QFont font("Courier");
    font.setPixelSize(15);
    pane->setFont(font);
    std::vector<std::string> lines;
    for (int i = 0; i < lineCount; ++i) lines.push_back("10 PRINT \"LINE " + std::to_string(i) + "\" ########");
    pane->setLines(lines);
    wb.breakpoints.ResetListingColors();
    markLine(pane, 1, kRed);
}

TEST_F(DesktopQtTest, OnADarkThemeThePrintedTextIsDarkAndTheMarkStaysRed) {
    darkListing(pane, *wb, 6);
    const fs::path pdf = folder / "dark.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(desktop->printListingOn(printer));
    const auto pages = renderPages(pdf, folder / "dark");
    ASSERT_EQ(pages.size(), 1u) << "pdftoppm (poppler-utils) must be installed";
    // Five lines of dark glyphs and one of red ones, on white paper.
    EXPECT_GT(countPixels(pages[0], isDark), 200);
    EXPECT_GT(countPixels(pages[0], isRed), 30);
    // The pane itself keeps its screen colours.
    EXPECT_EQ(pane->defaultTextColor(), (Rgb{240, 240, 240}));
}

// Export as PDF is Print into a file: the same pages, pixel for pixel.
TEST_F(DesktopQtTest, ExportAsPdfGivesThePagesPrintGives) {
    darkListing(pane, *wb, 120);
    const fs::path exported = folder / "exported.pdf";
    answerFileDialog(QString::fromStdString(exported.string()));
    ASSERT_TRUE(desktop->exportListingPdf());
    EXPECT_TRUE(notices.errorBoxes.empty());
    EXPECT_EQ(desktop->pdfDialog()->windowTitle(), "Export as PDF");

    const fs::path printed = folder / "printed.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(printed.string()));
    ASSERT_TRUE(desktop->printListingOn(printer));

    const auto want = renderPages(printed, folder / "printed");
    const auto got = renderPages(exported, folder / "exported");
    ASSERT_GE(want.size(), 2u) << "pdftoppm (poppler-utils) must be installed";
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(got[i] == want[i]) << "page " << i + 1;
    EXPECT_GT(countPixels(got[0], isRed), 30);

    // A file that cannot be made is the usual error; the listing stays.
    const QString before = pane->toHtml();
    const fs::path nowhere = folder / "no" / "such" / "x.pdf";
    answerFileDialog(QString::fromStdString(nowhere.string()));
    EXPECT_FALSE(desktop->exportListingPdf());
    EXPECT_EQ(notices.errorBoxes, std::vector<std::string>{"Cannot create file " + nowhere.string() + "."});
    EXPECT_EQ(pane->toHtml(), before);
}

// Types each character as a key press carrying it, as a keyboard layout
// with such keys does (QTest's own typing knows only ASCII).
void typeText(QWidget* target, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

// Characters the board's single-byte text cannot hold, where they would
// enter: typed, pasted, searched for, or already in the pane at save.
TEST_F(DesktopQtTest, CharactersOutsideTheSetAreRefusedWhereTheyEnter) {
    std::vector<QString> notes;
    setRefusalNoteSink([&](const QString& note) { notes.push_back(note); });
    window->show();
    pane->setFocus();
    typeText(pane, QString::fromUtf8("A→B€"));
    EXPECT_EQ(pane->lines(), std::vector<std::string>{"AB\x80"});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(notes[0].contains(QString::fromUtf8("→")));

    pane->clear();
    QApplication::clipboard()->setText(QString::fromUtf8("“x” – y"));
    pane->paste();
    EXPECT_EQ(pane->lines(), std::vector<std::string>{"\x93x\x94 \x96 y"});
    QApplication::clipboard()->setText(QString::fromUtf8("go → there"));
    pane->paste();
    EXPECT_EQ(pane->lines(), std::vector<std::string>{"\x93x\x94 \x96 y"});
    EXPECT_EQ(notes.size(), 2u);

    // The search text is single-byte text too: the euro is found as its
    // byte, not as a question mark.
    pane->setLines({"A?B\x80"});
    FindDialog* find = desktop->findDialog();
    wb->find.EditFind1Execute();
    find->FindWhat->setFocus();
    typeText(find->FindWhat, QString::fromUtf8("→€"));
    EXPECT_EQ(find->FindWhat->text(), QString::fromUtf8("€"));
    EXPECT_EQ(notes.size(), 3u);
    find->FindNextButton->click();
    EXPECT_EQ(pane->selectionStart(), 3);
    find->hide();

    // Text that came in past every check is reported with its line at save.
    pane->setPlainText(QString::fromUtf8("10 A=1\n20 PRINT \"→\""));
    const fs::path file = folder / "arrow.tn";
    answerFileDialog(QString::fromStdString(file.string()));
    wb->files.FileSaveAsExecute();
    ASSERT_EQ(notices.errorBoxes.size(), 1u);
    EXPECT_EQ(notices.errorBoxes[0], "Cannot create file " + file.string() +
                                         ". Line 2 holds a character the board's single-byte text cannot hold.");
    EXPECT_FALSE(fs::exists(file));
    setRefusalNoteSink(nullptr);
}

}  // namespace

namespace {

// The desktop's icon and the About box's come from the one drawing: the
// installed 32-pixel icon is the About box's picture, pixel for pixel, and
// it is no empty square.
TEST(ProgramIcon, TheDesktopIconIsTheAboutBoxPicture) {
    travin::testing::ensureQtApplication();
    const QImage installed(QString(TRAVIN_ICON_DIR) + "/32x32/apps/org.travin.Workbench.png");
    ASSERT_FALSE(installed.isNull());
    const QImage about = travin::travinProgramPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(installed.convertToFormat(QImage::Format_ARGB32), about);
    // The board's white T stands in the top half; the corners stay clear.
    EXPECT_EQ(about.pixelColor(10, 6), QColor(Qt::white));
    EXPECT_EQ(about.pixelColor(0, 0).alpha(), 0);
}

}  // namespace
