#include "pdfwords.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace testsupport {

QString PdfPage::text() const
{
    QStringList texts;
    for (const PdfWord &word : words)
        texts << word.text;
    return texts.join(QLatin1Char(' '));
}

bool PdfPage::contains(const QString &word) const
{
    return std::any_of(words.cbegin(), words.cend(), [&](const PdfWord &w) { return w.text == word; });
}

std::vector<PdfPage> readPdfPages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000))
        return {};
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    // Boxes may lie off the page (text painted outside it), so their numbers may be negative.
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page width="([0-9.]+)" height="([0-9.]+)">|<word xMin="(-?[0-9.]+)" yMin="(-?[0-9.]+)" xMax="(-?[0-9.]+)" yMax="(-?[0-9.]+)">([^<]*)</word>)re"));
    std::vector<PdfPage> pages;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            pages.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
        } else if (!pages.empty()) {
            QString text = m.captured(7);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            pages.back().words.push_back({text, m.captured(3).toDouble(), m.captured(5).toDouble(),
                                          m.captured(4).toDouble(), m.captured(6).toDouble()});
        }
    }
    return pages;
}

} // namespace testsupport
