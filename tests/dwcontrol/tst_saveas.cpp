// Saving rows: each format read back gives the headings and the values exactly,
// commas, semicolons, quotes, line breaks, tabs, markup and accents included.

#include "cellbytes.h"
#include "columnheading.h"
#include "columnorder.h"
#include "outputfixture.h"
#include "rowsclipboard.h"
#include "rowscopy.h"
#include "saveas.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <grp.h>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace outputtest;

namespace {

using Rows = QList<QStringList>;

// RFC 4180 as a spreadsheet reads it, with the separator it is set to.
Rows parseCsv(const QString &text, QChar separator = u',')
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
        } else if (c == separator) {
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

// Runs a statement on the table's database file, as another program changing it would.
bool execSql(Table &table, const char *sql)
{
    sqlite3 *db = nullptr;
    const bool ok
        = sqlite3_open(table.folder.filePath(u"directorio.mdb"_s).toUtf8().constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Root writes anywhere: while the guard lives the test runs as nobody, in user and groups
// (the folders above the files it touches must let others through). The real ids change
// too, as access checks read those; root stays the saved one to come back to.
class WithoutRootRights
{
public:
    WithoutRootRights()
    {
        if (geteuid() != 0)
            return;
        m_groups.resize(std::size_t(std::max(0, getgroups(0, nullptr))));
        if (getgroups(int(m_groups.size()), m_groups.data()) < 0)
            m_groups.clear();
        m_wasRoot = setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 0) == 0
            && setresuid(65534, 65534, 0) == 0;
    }
    ~WithoutRootRights()
    {
        if (m_wasRoot
            && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0
                || setgroups(m_groups.size(), m_groups.data()) != 0))
            qFatal("cannot return to root");
    }
    WithoutRootRights(const WithoutRootRights &) = delete;
    WithoutRootRights &operator=(const WithoutRootRights &) = delete;

private:
    bool m_wasRoot = false;
    std::vector<gid_t> m_groups;
};

// A folder nobody may write in for the guard's life.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &path) : m_path(path)
    {
        QFile::setPermissions(m_path,
                              QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        m_rights.emplace();
    }
    ~ReadOnlyFolder()
    {
        m_rights.reset();
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    QString m_path;
    std::optional<WithoutRootRights> m_rights;
};

// Files may not grow past a size while the guard lives: writing more fails as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// One member of an XLSX package, read with unzip.
QString unzipped(const QString &file, const QString &member)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, file, member});
    if (!unzip.waitForFinished(30000))
        return {};
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

struct Cell
{
    QString type; // "n" for numbers (the default), "inlineStr", "s"
    QString style;
    QString text;
};

// The cells of a sheet by reference ("B2").
QMap<QString, Cell> sheetCells(const QString &sheet)
{
    static const QRegularExpression cellPattern(u"<c r=\"([A-Z]+[0-9]+)\"([^>]*?)(/>|>(.*?)</c>)"_s);
    static const QRegularExpression typePattern(u"t=\"([a-zA-Z]+)\""_s);
    static const QRegularExpression stylePattern(u"s=\"([0-9]+)\""_s);
    static const QRegularExpression textPattern(u"<(?:v|t)[^>]*>(.*?)</(?:v|t)>"_s);
    QMap<QString, Cell> cells;
    for (const QRegularExpressionMatch &m : cellPattern.globalMatch(sheet)) {
        Cell cell;
        const QRegularExpressionMatch type = typePattern.match(m.captured(2));
        cell.type = type.hasMatch() ? type.captured(1) : u"n"_s;
        const QRegularExpressionMatch style = stylePattern.match(m.captured(2));
        cell.style = style.hasMatch() ? style.captured(1) : u"0"_s;
        cell.text = textPattern.match(m.captured(4)).captured(1);
        cell.text.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&amp;"_s, u"&"_s);
        cells.insert(m.captured(1), cell);
    }
    return cells;
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
        {2, u"Ñandú Güemes"_s, QString(), u"<b>&amp;</b> 'comillas'; punto y coma"_s},
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
        QTest::addColumn<QChar>("separator");
        QTest::newRow("csv with commas") << u"csv"_s << QChar(u',');
        QTest::newRow("csv with semicolons") << u"csv"_s << QChar(u';');
        QTest::newRow("txt") << u"txt"_s << QChar();
        QTest::newRow("html") << u"html"_s << QChar();
    }
    void roundTrip()
    {
        QFETCH(QString, format);
        QFETCH(QChar, separator);
        const QString file = m_table.folder.filePath(u"miembros."_s + format);
        QString error;
        dw::SaveTarget target{file, format};
        if (!separator.isNull())
            target.separator = separator;
        QVERIFY2(dw::saveRows(m_table.dw, target, &error), qPrintable(error));
        const QByteArray bytes = readFile(file);
        Rows rows;
        if (format == u"csv") {
            QVERIFY2(bytes.startsWith("\xEF\xBB\xBF"), "spreadsheets need the UTF-8 mark");
            rows = parseCsv(QString::fromUtf8(bytes.mid(3)), separator);
            // A ';' is quoted whatever the separator, for spreadsheets set to read ';'.
            QVERIFY(bytes.contains("\"<b>&amp;</b> 'comillas'; punto y coma\""));
        } else if (format == u"txt") {
            QCOMPARE(bytes.count('\n'), 4); // one line per record: breaks inside values are escaped
            rows = parseTxt(QString::fromUtf8(bytes));
        } else {
            QVERIFY(bytes.contains("<meta charset=\"utf-8\">"));
            QVERIFY(bytes.contains("<title>directorio</title>")); // no document name: the table's
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

    // A folder that cannot be written, or a disk that fills up while writing: a clear
    // reason, the older file as it was and no temporary file left behind.
    void failedSaveKeepsTheOlderFile_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("csv") << u"csv"_s;
        QTest::newRow("xlsx") << u"xlsx"_s;
        QTest::newRow("pdf") << u"pdf"_s;
    }
    void failedSaveKeepsTheOlderFile()
    {
        QFETCH(QString, format);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QVERIFY(QFile::setPermissions(scratch.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ReadOther | QFile::ExeOther));
        QDir folder(scratch.path());
        QVERIFY(folder.mkdir(u"guardado"_s));
        const QString older = folder.filePath(u"guardado/directorio."_s + format);
        {
            QFile file(older);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("previo");
        }
        // Anyone may write the file itself: the folder is what stops the save.
        QVERIFY(QFile::setPermissions(older, QFileDevice::Permissions(0x6666)));
        QString error;
        {
            const ReadOnlyFolder readOnly(folder.filePath(u"guardado"_s));
            QVERIFY(!dw::saveRows(m_table.dw, {older, format}, &error));
        }
        QVERIFY2(error.contains(u"No se puede escribir en la carpeta"_s), qPrintable(error));
        QCOMPARE(readFile(older), QByteArray("previo"));

        error.clear();
        {
            const FileSizeLimit full(64); // the disk fills up after 64 bytes
            QVERIFY(!dw::saveRows(m_table.dw, {older, format}, &error));
        }
        QVERIFY2(error.contains(u"el disco está lleno"_s), qPrintable(error));
        QCOMPARE(readFile(older), QByteArray("previo"));

        // A read-only file in a folder anyone may write in is named as such.
        error.clear();
        QVERIFY(QFile::setPermissions(folder.filePath(u"guardado"_s), QFileDevice::Permissions(0x7777)));
        QVERIFY(QFile::setPermissions(older, QFile::ReadOwner | QFile::ReadOther));
        {
            const WithoutRootRights user;
            QVERIFY(!dw::saveRows(m_table.dw, {older, format}, &error));
        }
        QVERIFY2(error.contains(u"es de solo lectura"_s) && !error.contains(u"carpeta"_s), qPrintable(error));
        QVERIFY(QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readFile(older), QByteArray("previo"));
        QCOMPARE(QDir(folder.filePath(u"guardado"_s)).entryList(QDir::Files),
                 QStringList{u"directorio."_s + format});
    }

    // A value a spreadsheet would compute is written with a leading apostrophe, so that
    // opening the file shows it as text; plain numbers and everything else stay as they
    // are. Applies to CSV with either separator, to values that also need quoting, and to
    // tab-separated text, which spreadsheets open as readily.
    void savedValuesOpenAsText_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("formula") << u"=1+1"_s << u"'=1+1"_s;
        QTest::newRow("telephone") << u"+52 55 1234 5678"_s << u"'+52 55 1234 5678"_s;
        QTest::newRow("negative number") << u"-3"_s << u"-3"_s;
        QTest::newRow("signed decimal") << u"+2.5"_s << u"+2.5"_s;
        QTest::newRow("minus formula") << u"-2+3"_s << u"'-2+3"_s;
        QTest::newRow("at sign") << u"@x"_s << u"'@x"_s;
        QTest::newRow("at function") << u"@SUMA(A1)"_s << u"'@SUMA(A1)"_s;
        QTest::newRow("leading tab") << u"\t=1+1"_s << u"'\t=1+1"_s;
        QTest::newRow("leading return") << u"\r=1+1"_s << u"'\r=1+1"_s;
        QTest::newRow("quoted formula") << u"=\"a\";1"_s << u"'=\"a\";1"_s;
        QTest::newRow("lone minus") << u"-"_s << u"'-"_s;
        QTest::newRow("fraction alone") << u"-.5"_s << u"-.5"_s;
        QTest::newRow("decimal comma and exponent") << u"+1,5e+2"_s << u"+1,5e+2"_s;
        QTest::newRow("exponent without digits") << u"+1e"_s << u"'+1e"_s;
        QTest::newRow("sign and point only") << u"-."_s << u"'-."_s;
        QTest::newRow("equals inside") << u"a=1+1"_s << u"a=1+1"_s;
        QTest::newRow("blank first") << u" =1"_s << u" =1"_s;
    }
    void savedValuesOpenAsText()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        Table table;
        QVERIFY(table.open({{1, value, u"ok"_s, u"ok"_s}}));
        for (const QChar separator : {QChar(u','), QChar(u';'), QChar(u'\t')}) {
            const bool txt = separator == u'\t';
            const QString file = table.folder.filePath(txt ? u"formulas.txt"_s : u"formulas.csv"_s);
            dw::SaveTarget target{file, txt ? u"txt"_s : u"csv"_s};
            target.separator = separator;
            QVERIFY(dw::saveRows(table.dw, target));
            const QByteArray bytes = readFile(file);
            const Rows rows = txt ? parseTxt(QString::fromUtf8(bytes))
                                  : parseCsv(QString::fromUtf8(bytes.mid(3)), separator);
            QCOMPARE(rows.size(), 2);
            QCOMPARE(rows.at(1).at(1), written);
            QCOMPARE(rows.at(1).at(2), u"ok"_s);
        }
    }

    // Every format holds each value as the grid shows it, whatever its letters: accents,
    // letters beyond the basic plane, a leading byte order mark (which the grid leaves
    // out), a value longer than a spreadsheet cell (cut to the 32,767 characters it holds).
    void valuesAsTheGridShowsThem()
    {
        const QString emoji = u"Bióloga \U0001F9EC Ñ"_s;
        const QString marked = QChar(0xFEFF) + u"Marca"_s;
        const QString longValue = emoji + u"x"_s.repeated(40000);
        Table table;
        QVERIFY(table.open({{1, emoji, marked, longValue}, {2, marked, u"ñ"_s, emoji}}));
        Rows shown{{u"Número"_s, u"Nombre"_s, u"Institución"_s, u"nota"_s}};
        for (long row = 1; row <= 2; ++row) {
            QStringList cells;
            for (int column = 1; column <= 4; ++column)
                cells.append(table.dw.displayText(row, column));
            shown.append(cells);
        }
        QCOMPARE(shown.at(1).at(2), u"Marca"_s);

        const QString csv = table.folder.filePath(u"raros.csv"_s);
        QVERIFY(dw::saveRows(table.dw, {csv, u"csv"_s}));
        QCOMPARE(parseCsv(QString::fromUtf8(readFile(csv).mid(3))), shown);
        const QString txt = table.folder.filePath(u"raros.txt"_s);
        QVERIFY(dw::saveRows(table.dw, {txt, u"txt"_s}));
        QCOMPARE(parseTxt(QString::fromUtf8(readFile(txt))), shown);
        const QString html = table.folder.filePath(u"raros.html"_s);
        QVERIFY(dw::saveRows(table.dw, {html, u"html"_s}));
        QCOMPARE(parseHtml(QString::fromUtf8(readFile(html))), shown);

        const QString xlsx = table.folder.filePath(u"raros.xlsx"_s);
        QVERIFY(dw::saveRows(table.dw, {xlsx, u"xlsx"_s}));
        const QMap<QString, Cell> cells = sheetCells(unzipped(xlsx, u"xl/worksheets/sheet1.xml"_s));
        QCOMPARE(cells.value(u"B2"_s).text, emoji);
        QCOMPARE(cells.value(u"C2"_s).text, u"Marca"_s);
        QCOMPARE(cells.value(u"D2"_s).text, longValue.left(32767));
        QCOMPARE(cells.value(u"D3"_s).text, emoji);

        // A column with a code table holds the texts the grid shows for its codes.
        QCOMPARE(table.dw.Modify(u"id.Edit.CodeTable=yes id.Values='Uno~t1/Dos~t2/'"_s), QString());
        QCOMPARE(table.dw.displayText(2, 1), u"Dos"_s);
        QVERIFY(dw::saveRows(table.dw, {csv, u"csv"_s}));
        const Rows coded = parseCsv(QString::fromUtf8(readFile(csv).mid(3)));
        QCOMPARE(coded.size(), shown.size());
        QCOMPARE(coded.at(1).at(0), u"Uno"_s);
        QCOMPARE(coded.at(2).at(0), u"Dos"_s);
    }

    // Copied rows, in the order given, hold each value as the grid shows it: in the text a
    // tab or line break becomes a blank so every row stays one line of cells; in the HTML
    // table markup is escaped and line breaks become <br>. Bytes that are not UTF-8 come as
    // the grid decodes them. What was copied stays as it was when the listing is sorted and
    // read again with other rows, and the clipboard gives the same bytes: whether the copy
    // is most of the listing (it shares the stored rows) or a small part (it keeps texts).
    void copiedRowsAsShown_data()
    {
        QTest::addColumn<long>("others");
        QTest::newRow("every row") << 0L;
        QTest::newRow("a few rows of many") << 40L;
    }

    void copiedRowsAsShown()
    {
        QFETCH(long, others);
        // A carriage return alone is no line break.
        const QString emoji = u"Bióloga \U0001F9EC Ñ \"sic\"\r."_s;
        std::vector<Member> members{{1, u"Ana\tPérez"_s, u"Línea uno\nLínea dos"_s, emoji},
                                    {2, u"José\r\nMaría"_s, QString(), u"<b>&</b>"_s},
                                    {3, u"Cortado"_s, u"x"_s, u"x"_s}};
        for (long id = 4; id < 4 + others; ++id)
            members.push_back({id, u"Otro"_s, u"y"_s, u"z"_s});
        Table table;
        QVERIFY(table.open(members));
        QVERIFY(execSql(table, "UPDATE directorio SET nota = CAST(X'4A6F73C3' AS TEXT) WHERE id = 3"));
        QCOMPARE(table.dw.Retrieve(), 3L + others);
        const dw::CopiedRows copied(table.dw, {2, 1, 3});
        QStringList text;
        Rows html;
        QStringList headings;
        std::vector<int> columns;
        for (const dw::GridColumn &column : dw::visibleColumns(table.dw)) {
            columns.push_back(table.dw.columnNumber(column.name));
            headings.append(dw::columnHeading(table.dw, column.name));
        }
        QVERIFY(columns.size() >= 4);
        text.append(headings.join(u'\t'));
        html.append(headings);
        for (const long row : {2L, 1L, 3L}) {
            QStringList shown;
            QStringList oneLine;
            for (const int column : columns) {
                const QString value = table.dw.displayText(row, column);
                shown.append(QString(value).replace(u"\r\n"_s, u"\n"_s));
                oneLine.append(QString(value).replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' '));
            }
            text.append(oneLine.join(u'\t'));
            html.append(shown);
        }
        QVERIFY(text.last().contains(u"Jos\uFFFD"_s));
        const QByteArray expected = (text.join(u'\n') + u'\n').toUtf8();
        QCOMPARE(copied.text(), expected);
        const QByteArray copiedHtml = copied.html();
        QVERIFY(copiedHtml.contains("&lt;b&gt;&amp;&lt;/b&gt;"));
        QVERIFY(copiedHtml.contains("&quot;sic&quot;\r.</td>"));
        QCOMPARE(parseHtml(QString::fromUtf8(copiedHtml)), html);

        QVERIFY(execSql(table, "DELETE FROM directorio WHERE id > 1"));
        QCOMPARE(table.dw.SetSort(u"nombre D"_s), 1);
        QCOMPARE(table.dw.Retrieve(), 1L);
        QCOMPARE(copied.text(), expected);
        QCOMPARE(copied.html(), copiedHtml);

        const std::unique_ptr<QMimeData> mime = dw::clipboardData(copied);
        QCOMPARE(mime->formats(), QStringList({u"text/plain"_s, u"text/html"_s}));
        QCOMPARE(mime->data(u"text/plain"_s), expected);
        QCOMPARE(mime->text(), QString::fromUtf8(expected));
        QCOMPARE(mime->data(u"text/html"_s), copiedHtml);
        QCOMPARE(mime->html(), QString::fromUtf8(copiedHtml));
    }

    // Stored bytes are written as they are only when they are exactly the text the grid
    // shows: valid UTF-8 without a leading byte order mark; anything else goes the long way.
    void storedBytesTakenAsText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ownText");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ascii past eight bytes") << QByteArray("Facultad de Quimica") << true;
        QTest::newRow("accent after eight bytes") << QByteArray("Facultad de Qu\xC3\xADmica") << true;
        QTest::newRow("euro sign") << QByteArray("\xE2\x82\xAC 5") << true;
        QTest::newRow("beyond the basic plane") << QByteArray("\xF0\x9F\xA7\xAC") << true;
        QTest::newRow("last of the code space") << QByteArray("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFMarca") << false;
        QTest::newRow("mark inside") << QByteArray("a\xEF\xBB\xBF") << true;
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three bytes") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("overlong lead and two more") << QByteArray("\xC1\xBF\xBF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut short") << QByteArray("Jos\xC3") << false;
        QTest::newRow("stray continuation after eight") << QByteArray("abcdefgh\x80") << false;
        QTest::newRow("latin-1") << QByteArray("Mar\xED").append('a') << false;
        QTest::newRow("bad third byte") << QByteArray("\xE2\x82(") << false;
    }
    void storedBytesTakenAsText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ownText);
        const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
        QCOMPARE(dw::CellBytes::isOwnText(view), ownText);
        if (ownText) // what the grid would show gives the same bytes back
            QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
    }

    // A spreadsheet: headings in a bold first row that stays in view, widths from the
    // grid, numbers of numeric columns as numbers and text as text, leading zeros kept.
    void spreadsheet()
    {
        Table table;
        QVERIFY(table.open({{7, u"Ñandú Güemes"_s, u"Facultad de Química"_s, u"0042"_s},
                            {8, u"=SUMA(A1)"_s, QString(), u"12.5"_s}}));
        const QString file = table.folder.filePath(u"directorio.xlsx"_s);
        QString error;
        QVERIFY2(dw::saveRows(table.dw, {file, u"xlsx"_s}, &error), qPrintable(error));
        const QString sheet = unzipped(file, u"xl/worksheets/sheet1.xml"_s);
        QVERIFY2(sheet.contains(u"<pane ySplit=\"1\" topLeftCell=\"A2\""_s), qPrintable(sheet));

        const QMap<QString, Cell> cells = sheetCells(sheet);
        for (const auto &[ref, heading] :
             {std::pair{u"A1"_s, u"Número"_s}, std::pair{u"B1"_s, u"Nombre"_s},
              std::pair{u"C1"_s, u"Institución"_s}, std::pair{u"D1"_s, u"nota"_s}}) {
            QCOMPARE(cells.value(ref).text, heading);
            QVERIFY2(cells.value(ref).style != u"0"_s, qPrintable(ref)); // the bold format
        }
        QCOMPARE(cells.value(u"A2"_s).type, u"n"_s);
        QCOMPARE(cells.value(u"A2"_s).text, u"7"_s);
        QCOMPARE(cells.value(u"B2"_s).text, u"Ñandú Güemes"_s);
        QCOMPARE(cells.value(u"C2"_s).text, u"Facultad de Química"_s);
        QCOMPARE(cells.value(u"D2"_s).type, u"inlineStr"_s);
        QCOMPARE(cells.value(u"D2"_s).text, u"0042"_s);
        QCOMPARE(cells.value(u"B3"_s).type, u"inlineStr"_s); // never a formula
        QCOMPARE(cells.value(u"D3"_s).type, u"inlineStr"_s);
        QVERIFY(!cells.contains(u"C3"_s)); // null stays empty

        // Columns as wide as the layout's (each a quarter of 2000 units, less 8).
        static const QRegularExpression col(u"<col min=\"1\" max=\"1\" width=\"([0-9.]+)\""_s);
        const QRegularExpressionMatch width = col.match(sheet);
        QVERIFY2(width.hasMatch(), qPrintable(sheet));
        QVERIFY(std::abs(width.captured(1).toDouble() - (492 * 7 / 32.0 - 5) / 7) < 1.5);

        const QString styles = unzipped(file, u"xl/styles.xml"_s);
        QVERIFY(styles.contains(u"<b/>"_s));
    }
};

QTEST_MAIN(TestSaveAs)
#include "tst_saveas.moc"
