// gen_aci_manual INPUT.txt OUTPUT.pdf
//
// Renders the ACI manual's text source into a PDF with Qt's own writer, at
// build time, so the repository holds only the text. Needs a Qt platform for
// the font database; the build runs it with QT_QPA_PLATFORM=offscreen.

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

#include "docs/AciManual.h"

namespace {

// Qt's rich text understands only a part of CSS; this is the part it uses.
const char* kStyle =
    "body { color: #1a1a1a; }"
    "h1 { font-size: 20pt; font-weight: bold; color: #123c69; margin-top: 18px; margin-bottom: 8px; }"
    "h2 { font-size: 13pt; font-weight: bold; color: #123c69; margin-top: 14px; margin-bottom: 6px; }"
    "p { margin-top: 0px; margin-bottom: 8px; }"
    "li { margin-bottom: 4px; }"
    "pre { font-family: 'DejaVu Sans Mono', 'Liberation Mono', 'Courier New', monospace;"
    "      font-size: 9pt; background-color: #eef2f6; margin-top: 2px; margin-bottom: 10px; }";

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_aci_manual INPUT.txt OUTPUT.pdf\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile source(input);
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "gen_aci_manual: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(source.readAll());

    QTextDocument doc;
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setStyleHint(QFont::SansSerif);
    body.setPointSizeF(10.5);
    doc.setDefaultFont(body);
    doc.setDefaultStyleSheet(QString::fromLatin1(kStyle));
    doc.setHtml(travin::docs::AciManualHtml(text));
    // Every chapter after the first starts on a new page.
    bool firstChapter = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1) continue;
        if (firstChapter) {
            firstChapter = false;
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(format);
    }
    if (doc.isEmpty()) {
        std::fprintf(stderr, "gen_aci_manual: %s holds no text\n", argv[1]);
        return 1;
    }

    // QSaveFile renames into place on commit, so a failed run leaves no
    // truncated PDF behind that the build would take as up to date.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "gen_aci_manual: cannot create %s\n", argv[2]);
        return 1;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Travin ACI Reference"));
        writer.setCreator(QStringLiteral("Travin Workbench"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        // QTextDocument::print adds its own 2 cm margin and the page numbers.
        writer.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
        doc.print(&writer);
    }
    if (!file.commit()) {
        std::fprintf(stderr, "gen_aci_manual: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
