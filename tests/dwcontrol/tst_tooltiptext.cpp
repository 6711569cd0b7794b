// Tool tips of long cell values stay on the screen and readable: wrapped, at most about
// thirty lines, the beginning shown and the rest counted.

#include "tooltiptext.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

// The lines a tip shows, as plain text.
QStringList shownLines(const QString &tip)
{
    QTextDocument document;
    document.setHtml(tip);
    QString text = document.toPlainText();
    text.replace(QChar(QChar::LineSeparator), u'\n');
    return text.split(u'\n');
}

} // namespace

class TstToolTipText : public QObject
{
    Q_OBJECT

private slots:
    void shortValuesAsTheyAre();
    void longValuesBounded();
};

void TstToolTipText::shortValuesAsTheyAre()
{
    const QFont font(u"Arial"_s, 9);
    const QRect screen(0, 0, 1280, 1024);
    QCOMPARE(shownLines(dw::boundedToolTip(u"Bioquímica"_s, font, screen)), QStringList{u"Bioquímica"_s});
    // Markup in a value is text, on one line too; line breaks in it are kept.
    QCOMPARE(shownLines(dw::boundedToolTip(u"<b>uno</b>"_s, font, screen)), QStringList{u"<b>uno</b>"_s});
    QCOMPARE(shownLines(dw::boundedToolTip(u"<b>uno</b>\ndos"_s, font, screen)),
             (QStringList{u"<b>uno</b>"_s, u"dos"_s}));
}

void TstToolTipText::longValuesBounded()
{
    const QFont font(u"Arial"_s, 9);
    const QFontMetrics metrics(font);
    QString value;
    for (int i = 0; value.size() < 30000; ++i)
        value += u"proyecto %1 de la línea de enzimas, "_s.arg(i);

    for (const QRect &screen : {QRect(0, 0, 1920, 1080), QRect(0, 0, 800, 300)}) {
        const QStringList lines = shownLines(dw::boundedToolTip(value, font, screen));
        QVERIFY(lines.size() <= dw::kToolTipMaxLines);
        QVERIFY(lines.size() * metrics.lineSpacing() <= screen.height());
        QVERIFY(lines.size() >= 2);
        for (const QString &line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) < screen.width(), qPrintable(line));

        // The beginning, up to the ellipsis, is the value's own beginning, and the last
        // line counts exactly what is missing.
        QString text = lines.mid(0, lines.size() - 1).join(QString());
        QVERIFY(text.endsWith(u"…"_s));
        text.chop(1);
        QVERIFY(value.startsWith(text.simplified().left(200)));
        const QRegularExpressionMatch count
            = QRegularExpression(u"^\\((\\d\\S*) caracteres sin mostrar\\)$"_s).match(lines.last());
        QVERIFY2(count.hasMatch(), qPrintable(lines.last()));
        const qsizetype missing = count.captured(1).remove(QRegularExpression(u"\\D"_s)).toLongLong();
        QCOMPARE(missing, value.size() - text.size());
    }
}

QTEST_MAIN(TstToolTipText)
#include "tst_tooltiptext.moc"
