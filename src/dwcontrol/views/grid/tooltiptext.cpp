#include "tooltiptext.h"

#include <QFontMetrics>
#include <QLocale>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

// A line of about this many characters reads comfortably.
constexpr int kReadableCharacters = 80;
// Room the tip's own frame and margins take from the screen.
constexpr int kFrame = 24;

} // namespace

QString boundedToolTip(const QString &value, const QFont &font, const QRect &available)
{
    const QFontMetrics metrics(font);
    const int wrapWidth
        = std::max(metrics.averageCharWidth() * 10,
                   std::min(metrics.averageCharWidth() * kReadableCharacters, available.width() - kFrame));
    const int fitting = (available.height() - kFrame) / std::max(1, metrics.lineSpacing());
    const int maxLines = std::clamp(fitting, 2, kToolTipMaxLines);

    // Lines break at the value's own line breaks and wrap within each paragraph.
    QStringList lines;
    qsizetype shown = 0;
    bool cut = false;
    const QStringList paragraphs = value.split(u'\n');
    for (qsizetype p = 0; p < paragraphs.size() && !cut; ++p) {
        QString paragraph = paragraphs[p];
        if (paragraph.endsWith(u'\r'))
            paragraph.chop(1);
        QTextLayout layout(paragraph, font);
        layout.beginLayout();
        do {
            if (lines.size() == maxLines) {
                cut = true;
                break;
            }
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(wrapWidth);
            lines.append(paragraph.mid(line.textStart(), line.textLength()));
            shown += line.textLength();
        } while (true);
        layout.endLayout();
        if (!cut)
            shown += paragraphs[p].size() - paragraph.size() + (p + 1 < paragraphs.size() ? 1 : 0);
    }

    if (cut) {
        // The last line gives its place to the count of what is not shown.
        const QString last = lines.takeLast();
        shown -= last.size();
        QString &tail = lines.last();
        const qsizetype before = tail.size();
        tail = metrics.elidedText(tail + u"…"_s, Qt::ElideRight, wrapWidth);
        if (!tail.endsWith(u"…"_s)) {
            tail.chop(1);
            tail += u"…"_s;
        }
        // What the ellipsis hides of the line is not shown either.
        shown -= before - std::min(before, tail.size() - 1);
        const QString missing = QLocale(QLocale::Spanish, QLocale::Mexico).toString(value.size() - shown);
        lines.append(u"(%1 caracteres sin mostrar)"_s.arg(missing));
    }
    // A value that fits on one line is shown as it is, unless it would read as markup.
    if (!cut && lines.size() <= 1 && !Qt::mightBeRichText(value))
        return value;
    for (QString &line : lines)
        line = line.toHtmlEscaped();
    return u"<p style=\"white-space:pre\">"_s + lines.join(u"<br>"_s) + u"</p>"_s;
}

} // namespace dw
