// Saving rows: each format read back gives the headings and the values exactly,
// commas, quotes, line breaks, tabs, markup and accents included.

#include "output/saveas.h"
#include "outputfixture.h"

#include <QFile>
#include <QRegularExpression>

using namespace outputtest;

namespace {

using Rows = QList<QStringList>;

// RFC 4180 as a spreadsheet reads it.
Rows parseCsv(const QString &text)
{
    Rows rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row.append(field);
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

Rows parseTxt(const QString &text)
{
    Rows rows;
    for (const QString &line : text.split(u"\r\n"_s, Qt::SkipEmptyParts)) {
        QStringList cells;
        for (const QString &cell : line.split(u'\t')) {
            QString value;
            for (qsizetype i = 0; i < cell.size(); ++i) {
                if (cell.at(i) != u'\\' || i + 1 == cell.size()) {
                    value += cell.at(i);
                    continue;
                }
                const QChar next = cell.at(++i);
                value += next == u't' ? u'\t' : next == u'n' ? u'\n' : next == u'r' ? u'\r' : next;
            }
            cells.append(value);
        }
        rows.append(cells);
    }
    return rows;
}

Rows parseHtml(const QString &text)
{
    static const QRegularExpression rowPattern(u"<tr>(.*?)</tr>"_s,
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cellPattern(u"<t[hd]>(.*?)</t[hd]>"_s,
                                                QRegularExpression::DotMatchesEverythingOption);
    Rows rows;
    for (const QRegularExpressionMatch &row : rowPattern.globalMatch(text)) {
        QStringList cells;
        for (const QRegularExpressionMatch &cell : cellPattern.globalMatch(row.captured(1))) {
            QString value = cell.captured(1);
            value.replace(u"<br>"_s, u"\n"_s);
            value.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&quot;"_s, u"\""_s);
            value.replace(u"&amp;"_s, u"&"_s);
            cells.append(value);
        }
        rows.append(cells);
    }
    return rows;
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSaveAs : public QObject
{
    Q_OBJECT

    Table m_table;

    const std::vector<Member> m_members{
        {1, u"Pérez, Ana \"la jefa\""_s, u"Línea uno\nLínea dos"_s, u"con\ttabulador y \\barra"_s},
        {2, u"Ñandú Güemes"_s, QString(), u"<b>&amp;</b> 'comillas'"_s},
        {3, u"José\r\nMaría"_s, u"sencilla"_s, QString()},
    };

    static QString cell(const Member &m, int column)
    {
        switch (column) {
        case 0:
            return QString::number(m.id);
        case 1:
            return m.nombre;
        case 2:
            return m.institucion.isNull() ? QString(u""_s) : m.institucion;
        default:
            return m.nota.isNull() ? QString(u""_s) : m.nota;
        }
    }

    // The headings (from the "_t" texts; "nota" has none) and the expected rows.
    Rows expected(const QList<int> &order) const
    {
        Rows rows{{u"Número"_s, u"Nombre"_s, u"Institución"_s, u"nota"_s}};
        for (const int index : order) {
            QStringList cells;
            for (int column = 0; column < 4; ++column)
                cells.append(cell(m_members.at(std::size_t(index)), column));
            rows.append(cells);
        }
        return rows;
    }

private slots:
    void initTestCase() { QVERIFY(m_table.open(m_members)); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("csv") << u"csv"_s;
        QTest::newRow("txt") << u"txt"_s;
        QTest::newRow("html") << u"html"_s;
    }
    void roundTrip()
    {
        QFETCH(QString, format);
        const QString file = m_table.folder.filePath(u"miembros."_s + format);
        QString error;
        QVERIFY2(dw::saveRows(m_table.dw, {file, format}, &error), qPrintable(error));
        const QByteArray bytes = readFile(file);
        Rows rows;
        if (format == u"csv") {
            QVERIFY2(bytes.startsWith("\xEF\xBB\xBF"), "spreadsheets need the UTF-8 mark");
            rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
        } else if (format == u"txt") {
            QCOMPARE(bytes.count('\n'), 4); // one line per record: breaks inside values are escaped
            rows = parseTxt(QString::fromUtf8(bytes));
        } else {
            QVERIFY(bytes.contains("<meta charset=\"utf-8\">"));
            QVERIFY(!bytes.contains("<b>"));
            rows = parseHtml(QString::fromUtf8(bytes));
        }
        const Rows want = expected({0, 1, 2});
        if (format == u"html") {
            // A page shows a line break, not a carriage return.
            Rows html = want;
            html[3][1] = u"José\nMaría"_s;
            QCOMPARE(rows, html);
        } else {
            QCOMPARE(rows, want);
        }
    }

    // Only the rows the grid shows, in the order it shows them.
    void currentOrderAndFilter()
    {
        QCOMPARE(m_table.dw.SetSort(u"id D"_s), 1);
        QCOMPARE(m_table.dw.Sort(), 1);
        QCOMPARE(m_table.dw.SetFilter(u"id <> 2"_s), 1);
        QCOMPARE(m_table.dw.Filter(), 1);
        const QString file = m_table.folder.filePath(u"filtrado.csv"_s);
        QVERIFY(dw::saveRows(m_table.dw, {file, u"csv"_s}));
        QCOMPARE(parseCsv(QString::fromUtf8(readFile(file).mid(3))), expected({2, 0}));

        const QString pdf = m_table.folder.filePath(u"filtrado.pdf"_s);
        QVERIFY(dw::saveRows(m_table.dw, {pdf, u"PDF"_s}));
        const QByteArray bytes = readFile(pdf);
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(pdfPageCount(bytes), 1);

        QCOMPARE(m_table.dw.SetFilter(QString(u""_s)), 1);
        QCOMPARE(m_table.dw.Filter(), 1);
        QCOMPARE(m_table.dw.SetSort(QString(u""_s)), 1);
        QCOMPARE(m_table.dw.Sort(), 1);
    }

    // The extension the user typed decides; without one, the chosen format adds its own.
    void targetFromDialog()
    {
        QCOMPARE(dw::saveTargetFor(u"/tmp/lista"_s, u"txt"_s).fileName, u"/tmp/lista.txt"_s);
        QCOMPARE(dw::saveTargetFor(u"/tmp/lista"_s, u"txt"_s).format, u"txt"_s);
        QCOMPARE(dw::saveTargetFor(u"/tmp/lista.HTML"_s, u"csv"_s).format, u"html"_s);
        QCOMPARE(dw::saveTargetFor(u"/tmp/lista.htm"_s, u"pdf"_s).format, u"html"_s);
        QCOMPARE(dw::saveTargetFor(u"/tmp/lista.htm"_s, u"pdf"_s).fileName, u"/tmp/lista.htm"_s);
        QCOMPARE(dw::saveTargetFor(u"/tmp/v1.2"_s, u"csv"_s).fileName, u"/tmp/v1.2.csv"_s);
    }

    // A failure says why and leaves neither a partial file nor a changed earlier one.
    void failures()
    {
        QString error;
        QVERIFY(!dw::saveRows(m_table.dw, {m_table.folder.filePath(u"no/existe/x.csv"_s), u"csv"_s}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(m_table.folder.filePath(u"no/existe/x.csv"_s)));

        const QString earlier = m_table.folder.filePath(u"anterior.xls"_s);
        {
            QFile file(earlier);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("previo");
        }
        error.clear();
        QVERIFY(!dw::saveRows(m_table.dw, {earlier, u"xls"_s}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(earlier), QByteArray("previo"));
        QVERIFY(!dw::saveRows(m_table.dw, {QString(), u"csv"_s}));
    }
};

QTEST_MAIN(TestSaveAs)
#include "tst_saveas.moc"
