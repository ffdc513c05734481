#include "docs/AciManual.h"

#include <QStringList>

namespace travin::docs {

namespace {

enum class Block { None, Paragraph, List, Code };

}  // namespace

QString AciManualHtml(const QString& text) {
    QString html = QStringLiteral("<html><body>\n");
    Block block = Block::None;
    QStringList pending;      // lines of the open paragraph or list item
    int blankInCode = 0;      // blank lines seen inside a code block so far

    auto flushText = [&]() {
        if (pending.isEmpty()) return;
        const QString joined = pending.join(QLatin1Char(' ')).toHtmlEscaped();
        html += block == Block::List ? QStringLiteral("<li>") + joined + QStringLiteral("</li>\n")
                                     : QStringLiteral("<p>") + joined + QStringLiteral("</p>\n");
        pending.clear();
    };
    auto close = [&]() {
        flushText();
        if (block == Block::List) html += QStringLiteral("</ul>\n");
        if (block == Block::Code) html += QStringLiteral("</pre>\n");
        block = Block::None;
        blankInCode = 0;
    };

    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));

    for (const QString& raw : lines) {
        QString line = raw;
        while (line.endsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char('\t'))) line.chop(1);

        if (line.isEmpty()) {
            if (block == Block::Code) {
                ++blankInCode;  // decided by the next line: more code, or the end
            } else {
                close();
            }
            continue;
        }
        if (line.startsWith(QStringLiteral("    "))) {
            if (block != Block::Code) {
                close();
                html += QStringLiteral("<pre>");
                block = Block::Code;
            } else {
                html += QStringLiteral("\n");
                for (; blankInCode > 0; --blankInCode) html += QStringLiteral("\n");
            }
            html += line.mid(4).toHtmlEscaped();
            continue;
        }
        if (block == Block::Code) close();

        if (line.startsWith(QStringLiteral("## "))) {
            close();
            html += QStringLiteral("<h2>") + line.mid(3).trimmed().toHtmlEscaped() + QStringLiteral("</h2>\n");
        } else if (line.startsWith(QStringLiteral("# "))) {
            close();
            html += QStringLiteral("<h1>") + line.mid(2).trimmed().toHtmlEscaped() + QStringLiteral("</h1>\n");
        } else if (line.startsWith(QStringLiteral("- "))) {
            if (block != Block::List) {
                close();
                html += QStringLiteral("<ul>\n");
                block = Block::List;
            }
            flushText();
            pending << line.mid(2).trimmed();
        } else {
            if (block == Block::None) block = Block::Paragraph;
            pending << line.trimmed();
        }
    }
    close();
    html += QStringLiteral("</body></html>\n");
    return html;
}

}  // namespace travin::docs
