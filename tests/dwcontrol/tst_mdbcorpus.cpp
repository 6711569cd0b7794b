// Every table of a set of real Access files read by the built-in driver exactly as the
// mdbtools command line exports it: rows moved to other pages, deleted rows, empty
// databases, every column type, and OLE objects byte for byte.
#include "support/sample.h"

#include "db/transaction.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// One exported value: nullopt for NULL (an empty unquoted field), else its text.
using Field = std::optional<QString>;
using Table = std::vector<std::vector<Field>>;

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The exporter's CSV: commas between fields, a newline after each row, text in double
// quotes (doubled inside, newlines kept), numbers bare, NULL as nothing at all.
Table parseCsv(const QString &csv)
{
    Table rows;
    std::vector<Field> row;
    QString field;
    bool quoted = false;
    bool inQuotes = false;
    auto endField = [&] {
        row.push_back(quoted || !field.isEmpty() ? Field(field) : std::nullopt);
        field.clear();
        quoted = false;
    };
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < csv.size() && csv[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            inQuotes = quoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n') {
            endField();
            rows.push_back(std::move(row));
            row.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

// Floating-point values are printed by the exporter with fewer digits than a double holds
// (single-precision columns with about 7); any other difference is a real one.
bool sameValue(const QString &stored, const Field &ours, const Field &theirs)
{
    if (!ours || !theirs)
        return ours.has_value() == theirs.has_value();
    if (stored == u"real") {
        bool a = false;
        bool b = false;
        const double x = ours->toDouble(&a);
        const double y = theirs->toDouble(&b);
        return a && b && std::abs(x - y) <= 1e-6 * std::max(1.0, std::abs(y));
    }
    return *ours == *theirs;
}

} // namespace

class TestMdbCorpus : public QObject
{
    Q_OBJECT

private slots:
    // Memos whose UTF-8 ends just before, on and just past a 16 KB buffer with one-, two- and
    // three-byte characters across its last byte, and memos of 35,000 and 64,000 characters:
    // each arrives whole, exactly as the exporter reads it, and a word at its very end is found.
    void longValuesWhole_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("utf8Bytes"); // of every memo of member 2; 0: of several lengths
        QTest::addColumn<QString>("lastWord"); // in member 2's todo
        for (int bytes = 16382; bytes <= 16386; ++bytes)
            QTest::addRow("%d bytes", bytes) << u"memo_%1.mdb.z"_s.arg(bytes) << bytes << QString();
        QTest::newRow("16383 to 16386 bytes of ASCII") << u"memo_ascii.mdb.z"_s << 0 << QString();
        QTest::newRow("35,000 and 64,000 characters") << u"memo_long.mdb.z"_s << 0 << u"PALABRAFINAL"_s;
    }
    // A memo of 16,777,217 characters, longer than the exporter reads (member 2's `proyectos`:
    // "abcdefghij" over and over, then "FIN"): whole, without a character more.
    void memoPastSixteenMillionCharactersWhole()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"largo.mdb"_s);
        QVERIFY(testsupport::writeFixture(u"memo_16777217.mdb.z"_s, file));
        dw::Transaction transaction;
        QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
        dw::DbError error;
        auto cursor
            = transaction.connection()->query(u"SELECT proyectos FROM directorio WHERE id = 2"_s, {}, error);
        QVERIFY2(cursor && cursor->next(), qPrintable(error.text));
        const std::string_view text = cursor->utf8(0);
        QCOMPARE(text.size(), std::size_t(16777217));
        QVERIFY(text.find('\0') == std::string_view::npos);
        QCOMPARE(text.substr(0, 12), std::string_view("abcdefghijab"));
        QCOMPARE(text.substr(text.size() - 5), std::string_view("cdFIN"));
    }

    void longValuesWhole()
    {
        QFETCH(QString, fixture);
        QFETCH(int, utf8Bytes);
        QFETCH(QString, lastWord);
        const QString exporter = QStandardPaths::findExecutable(u"mdb-export"_s);
        QVERIFY2(!exporter.isEmpty(), "the mdbtools command line is missing");
        QTemporaryDir folder;
        const QString file = folder.filePath(u"largos.mdb"_s);
        QVERIFY(testsupport::writeFixture(fixture, file));

        const Table exported = parseCsv(run(exporter, {file, u"directorio"_s}));
        QVERIFY(exported.size() == 4);
        const auto heading = exported[0];
        dw::Transaction transaction;
        QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
        const QStringList memos{u"area_aplicacion"_s, u"proyectos"_s, u"estudiates"_s, u"todo"_s};
        dw::DbError error;
        auto cursor = transaction.connection()->query(
            u"SELECT "_s + memos.join(u", ") + u" FROM directorio WHERE id = 2"_s, {}, error);
        QVERIFY2(cursor && cursor->next(), qPrintable(error.text));
        for (int i = 0; i < memos.size(); ++i) {
            const auto bytes = cursor->utf8(i);
            const QString ours = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
            const auto at = std::find(heading.begin(), heading.end(), Field(memos[i])) - heading.begin();
            const Field theirs = exported[2][std::size_t(at)];
            QVERIFY(theirs.has_value());
            if (utf8Bytes > 0)
                QCOMPARE(qsizetype(bytes.size()), qsizetype(utf8Bytes));
            QVERIFY2(
                ours == *theirs,
                qPrintable(u"%1: %2 of %3 characters"_s.arg(memos[i]).arg(ours.size()).arg(theirs->size())));
        }
        if (!lastWord.isEmpty()) {
            auto found = transaction.connection()->query(
                u"SELECT id FROM directorio WHERE ucase(todo) LIKE '%"_s + lastWord + u"%'"_s, {}, error);
            QVERIFY2(found && found->next(), qPrintable(error.text));
            QCOMPARE(found->integer(0), 2);
            QVERIFY(!found->next());
        }
    }
    void everyTableAsExported_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *name :
             {"jackcess/overflowTestV2000.mdb", "jackcess/empty.mdb", "jackcess/adox_jet4.mdb",
              "jackcess/testV2000.mdb", "jackcess/delTestV2000.mdb", "test2V2000.mdb"})
            QTest::newRow(name) << QDir(testsupport::fixturesDirectory()).filePath(QString::fromLatin1(name));
    }

    void everyTableAsExported()
    {
        QFETCH(QString, file);
        const QString tables = QStandardPaths::findExecutable(u"mdb-tables"_s);
        const QString exporter = QStandardPaths::findExecutable(u"mdb-export"_s);
        QVERIFY2(!exporter.isEmpty() && !tables.isEmpty(), "the mdbtools command line is missing");

        dw::Transaction transaction;
        QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
        dw::Connection &db = *transaction.connection();

        const QStringList names = run(tables, {u"-1"_s, file}).split(u'\n', Qt::SkipEmptyParts);
        int compared = 0;
        for (const QString &name : names) {
            const QString quotedName = u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
            // Each column with its stored type, and blobs as the exporter's hex.
            dw::DbError error;
            auto heading = db.query(u"SELECT * FROM "_s + quotedName + u" LIMIT 0"_s, {}, error);
            QVERIFY2(heading, qPrintable(error.text));
            QStringList columns;
            QStringList selected;
            for (int i = 0; i < heading->columnCount(); ++i) {
                const QString column = u'"' + heading->columnName(i) + u'"';
                columns << column;
                selected << column << u"typeof("_s + column + u')' << u"hex("_s + column + u')';
            }
            QVERIFY2(!columns.isEmpty(), qPrintable(name));

            const Table expected
                = parseCsv(run(exporter, {u"-b"_s, u"hex"_s, u"-T"_s, u"%Y-%m-%d %H:%M:%S"_s, file, name}));
            QVERIFY2(!expected.empty(), qPrintable(name)); // the heading at least
            auto cursor = db.query(u"SELECT "_s + selected.join(u", ") + u" FROM "_s + quotedName
                                       + u" ORDER BY rowid"_s,
                                   {}, error);
            QVERIFY2(cursor, qPrintable(error.text));
            std::size_t row = 1;
            while (cursor->next()) {
                QVERIFY2(row < expected.size(), qPrintable(name + u": more rows than exported"_s));
                QCOMPARE(qsizetype(expected[row].size()), columns.size());
                for (int i = 0; i < columns.size(); ++i) {
                    const auto text = [&](int at) {
                        const auto bytes = cursor->utf8(at);
                        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
                    };
                    const QString type = text(3 * i + 1);
                    const Field ours
                        = type == u"null" ? std::nullopt : Field(text(type == u"blob" ? 3 * i + 2 : 3 * i));
                    QVERIFY2(sameValue(type, ours, expected[row][std::size_t(i)]),
                             qPrintable(u"%1 row %2 column %3: %4 / %5"_s.arg(name).arg(row).arg(
                                 columns[i], ours.value_or(u"NULL"_s).left(80),
                                 expected[row][std::size_t(i)].value_or(u"NULL"_s).left(80))));
                    ++compared;
                }
                ++row;
            }
            QCOMPARE(row, expected.size());
            qInfo("%s %s: %zu rows", qPrintable(QFileInfo(file).fileName()), qPrintable(name), row - 1);
        }
        qInfo("%s: %lld tables, %d values", qPrintable(QFileInfo(file).fileName()), qlonglong(names.size()),
              compared);

        // A file without tables opens; the missing member table shows at the first query.
        if (names.isEmpty()) {
            dw::DbError error;
            QVERIFY(!db.query(u"SELECT * FROM directorio"_s, {}, error));
            QVERIFY2(error.text.contains(u"directorio"_s), qPrintable(error.text));
        }
    }
};

QTEST_GUILESS_MAIN(TestMdbCorpus)
#include "tst_mdbcorpus.moc"
