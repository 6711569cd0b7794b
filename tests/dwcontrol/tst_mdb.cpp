// The built-in driver on real Access (Jet 4) files: every value as stored, NULL apart from
// empty text, memos whole, the database password, and files left untouched.
#include "support/sample.h"

#include "db/errors.h"
#include "db/transaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <optional>

using dw::CellKind;
using dw::Transaction;

namespace {

// One row as column name -> text (nullopt for NULL).
using Row = std::map<QString, std::optional<QString>>;

std::vector<Row> rows(dw::Connection &connection, const QString &sql)
{
    std::vector<Row> result;
    dw::DbError error;
    auto cursor = connection.query(sql, {}, error);
    if (!cursor) {
        QTest::qFail(qPrintable(error.text), __FILE__, __LINE__);
        return result;
    }
    while (cursor->next()) {
        Row row;
        for (int i = 0; i < cursor->columnCount(); ++i) {
            const auto text = cursor->utf8(i);
            row[cursor->columnName(i)] = cursor->kind(i) == CellKind::Null
                ? std::nullopt
                : std::optional(QString::fromUtf8(text.data(), qsizetype(text.size())));
        }
        result.push_back(row);
    }
    return result;
}

// Bytes to change in a copy of a file: offset, new value.
using Patch = QList<QPair<int, int>>;

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestMdb : public QObject
{
    Q_OBJECT

private:
    QString m_fixtures;

    QString fixture(const QString &name) const { return QDir(m_fixtures).filePath(name); }

private slots:
    void initTestCase() { m_fixtures = testsupport::fixturesDirectory(); }

    void directoryMembersWithTheirNulls()
    {
        Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, fixture(QStringLiteral("zemparol_jet4.mdb"))));
        dw::Connection &db = *transaction.connection();
        const auto members = rows(db, QStringLiteral("SELECT * FROM directorio ORDER BY id"));
        QCOMPARE(members.size(), std::size_t(60));
        std::map<QString, int> types;
        for (std::size_t i = 0; i < members.size(); ++i) {
            const Row &member = members[i];
            QCOMPARE(member.at(QStringLiteral("id")), std::optional(QString::number(i + 1)));
            QVERIFY(member.at(QStringLiteral("nombre")).has_value());
            QVERIFY2(member.at(QStringLiteral("todo"))
                         .value_or(QString())
                         .startsWith(*member.at(QStringLiteral("nombre"))),
                     "todo begins with the member's name");
            ++types[member.at(QStringLiteral("tipo_miembro_red")).value_or(QStringLiteral("<null>"))];
        }
        QCOMPARE(types[QStringLiteral("Miembro Investigador")], 28);
        QCOMPARE(types[QStringLiteral("Miembro Investigador ")], 1);
        QCOMPARE(types[QStringLiteral("Miembro del CTA")], 6);
        QCOMPARE(types[QStringLiteral("Miembro Estudiante")], 12);
        QCOMPARE(types[QStringLiteral("Miembro Externo")], 12);
        QCOMPARE(types[QStringLiteral("<null>")], 1);

        QCOMPARE(members[2].at(QStringLiteral("tipo_miembro_red")),
                 std::optional(QStringLiteral("Miembro Investigador ")));
        QCOMPARE(members[3].at(QStringLiteral("tipo_miembro_red")), std::nullopt);
        QCOMPARE(members[10].at(QStringLiteral("nivel_sni")), std::nullopt);
        QCOMPARE(members[11].at(QStringLiteral("area_aplicacion")), std::nullopt);
        QCOMPARE(members[12].at(QStringLiteral("foto")), std::optional(QString()));
        QCOMPARE(members[13].at(QStringLiteral("foto")),
                 std::optional(QStringLiteral("Fotos\\Miembro_14.JPG")));
        QCOMPARE(members[0].at(QStringLiteral("nombre")),
                 std::optional(QStringLiteral("Citlali López Martínez")));
        QCOMPARE(members[1].at(QStringLiteral("nombre")),
                 std::optional(QStringLiteral("Noemí Núñez Velázquez")));

        // The long projects text arrives whole, far beyond libmdb's default 16 KB.
        const QString projects = members[13].at(QStringLiteral("proyectos")).value_or(QString());
        QVERIFY2(projects.size() > 30000, qPrintable(QString::number(projects.size())));
        QVERIFY(projects.endsWith(QStringLiteral("catálisis;")));

        dw::DbError error;
        auto cursor = db.query(QStringLiteral("SELECT id FROM directorio WHERE id = 1"), {}, error);
        QVERIFY(cursor && cursor->next());
        QCOMPARE(cursor->kind(0), CellKind::Integer);

        // The search the program sends finds accented text in either case.
        QCOMPARE(rows(db, QStringLiteral("SELECT id FROM directorio WHERE ucase(todo) like '%NOEMÍ NÚÑEZ%'"))
                     .size(),
                 std::size_t(1));
        QCOMPARE(
            rows(db, QStringLiteral("SELECT id FROM directorio WHERE ucase(todo) like '%MARÍA%'")).size(),
            std::size_t(5));
    }

    void smallDirectoryExtremes()
    {
        Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, fixture(QStringLiteral("directorio_small.mdb"))));
        const auto members
            = rows(*transaction.connection(), QStringLiteral("SELECT * FROM directorio ORDER BY id"));
        QCOMPARE(members.size(), std::size_t(5));
        QCOMPARE(members[0].at(QStringLiteral("nombre")), std::optional(QStringLiteral("José Ñúñez")));
        QCOMPARE(members[0].at(QStringLiteral("observaciones")),
                 std::optional(QStringLiteral("Línea 1\r\nLínea 2 con \"comillas\", comas; y\ttabulador")));
        QCOMPARE(members[0].at(QStringLiteral("direccion")),
                 std::optional(QStringLiteral("C/ Mayor, 12 – 3º B")));
        // Empty text and NULL side by side.
        QCOMPARE(members[1].at(QStringLiteral("nombre")), std::optional(QString()));
        QCOMPARE(members[1].at(QStringLiteral("proyectos")), std::optional(QString()));
        QCOMPARE(members[1].at(QStringLiteral("cargo")), std::nullopt);
        QCOMPARE(members[1].at(QStringLiteral("num_empleados")), std::optional(QStringLiteral("0")));
        // Long integer extremes.
        QCOMPARE(members[2].at(QStringLiteral("anio_fundacion")),
                 std::optional(QStringLiteral("-2147483648")));
        QCOMPARE(members[2].at(QStringLiteral("orden")), std::optional(QStringLiteral("2147483647")));
        QCOMPARE(members[2].at(QStringLiteral("num_empleados")), std::optional(QStringLiteral("-5")));
        // Memos of 3,000 and 30,003 characters, whole.
        QCOMPARE(members[2].at(QStringLiteral("proyectos")).value_or(QString()).size(), 3000);
        const QString longMemo = members[3].at(QStringLiteral("proyectos")).value_or(QString());
        QCOMPARE(longMemo.size(), 30003);
        QVERIFY(longMemo.startsWith(QStringLiteral("Ñandú-€-漢字-")));
        QVERIFY(longMemo.endsWith(QStringLiteral("FIN")));
        QCOMPARE(members[3].at(QStringLiteral("curriculum")).value_or(QString()).size(), 5000);
        QCOMPARE(members[4].at(QStringLiteral("referencias")), std::optional(QStringLiteral("ϰαὶ τότ' ἐγὼ")));

        dw::DbError error;
        auto cursor = transaction.connection()->query(
            QStringLiteral("SELECT orden, anio_fundacion FROM directorio WHERE id = 3"), {}, error);
        QVERIFY(cursor && cursor->next());
        QCOMPARE(cursor->kind(0), CellKind::Integer);
        QCOMPARE(cursor->integer(0), 2147483647);
        QCOMPARE(cursor->integer(1), -2147483648LL);
    }

    void otherAccessFiles()
    {
        Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, fixture(QStringLiteral("testUnicodeCompV2003.mdb")),
                                           QString()));
        const auto texts
            = rows(*transaction.connection(), QStringLiteral("SELECT Unicode FROM \"Table\" ORDER BY ID"));
        QCOMPARE(texts.size(), std::size_t(8));
        QCOMPARE(texts[1].at(QStringLiteral("Unicode")), std::optional(QStringLiteral("ääkkösiä")));
        QCOMPARE(texts[2].at(QStringLiteral("Unicode")), std::optional(QStringLiteral("Мир")));
        QCOMPARE(texts[4].at(QStringLiteral("Unicode")), std::optional(QStringLiteral("漢字仮名交じり文")));

        QVERIFY(testsupport::connectAccess(transaction, fixture(QStringLiteral("test2V2000.mdb"))));
        const auto projects = rows(*transaction.connection(), QStringLiteral("SELECT * FROM MSP_PROJECTS"));
        QCOMPARE(projects.size(), std::size_t(1));
        QCOMPARE(projects[0].at(QStringLiteral("PROJ_NAME")), std::optional(QStringLiteral("Project1")));
        QCOMPARE(projects[0].at(QStringLiteral("PROJ_PROP_CATEGORY")), std::nullopt);
        QCOMPARE(projects[0].at(QStringLiteral("PROJ_INFO_CURRENT_DATE")),
                 std::optional(QStringLiteral("2006-02-03 08:00:00")));
    }

    void passwordProtectedFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("opens");
        const QString locked = QStringLiteral("V2000_with-password.mdb");
        QTest::newRow("right password") << locked << QStringLiteral("password") << true;
        QTest::newRow("wrong password") << locked << QStringLiteral("t4m9x2q7w805") << false;
        QTest::newRow("case matters") << locked << QStringLiteral("Password") << false;
        QTest::newRow("no password") << locked << QString() << false;
        QTest::newRow("password longer") << locked << QStringLiteral("password1") << false;
        QTest::newRow("unprotected file, any password")
            << QStringLiteral("V2000_no-password.mdb") << QStringLiteral("whatever") << true;
    }
    void passwordProtectedFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, password);
        QFETCH(bool, opens);
        Transaction transaction;
        QCOMPARE(testsupport::connectAccess(transaction, fixture(file), password), opens);
        if (opens) {
            QCOMPARE(rows(*transaction.connection(),
                          QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'table'"))
                         .size(),
                     std::size_t(1));
            return;
        }
        QCOMPARE(transaction.SQLCode, -1L);
        QCOMPARE(transaction.SQLDBCode, dw::dberror::WrongPassword);
        QVERIFY(transaction.SQLErrText.contains(file));
        // The file's own name holds the word; nothing else in the text may give the password away.
        const QString rest = QString(transaction.SQLErrText).remove(QDir::cleanPath(fixture(file)));
        QVERIFY(!rest.contains(QStringLiteral("password")));
        if (!password.isEmpty())
            QVERIFY(!rest.contains(password));
    }

    void damagedCopiesAreRefused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("keepPages");
        QTest::addColumn<int>("zeroPage");
        const QString directory = QStringLiteral("zemparol_jet4.mdb");
        const QString small = QStringLiteral("directorio_small.mdb");
        // Cut at a page border: libmdb itself carries on with whatever is left.
        QTest::newRow("catalog cut") << directory << 8 << -1;
        QTest::newRow("table definition cut") << directory << 20 << -1;
        QTest::newRow("rows cut") << directory << 60 << -1;
        QTest::newRow("long text cut") << small << 48 << -1;
        QTest::newRow("catalog page zeroed") << directory << 0 << 2;
        QTest::newRow("rows page zeroed") << directory << 0 << 45;
    }
    void damagedCopiesAreRefused()
    {
        QFETCH(QString, source);
        QFETCH(int, keepPages);
        QFETCH(int, zeroPage);
        QFile original(fixture(source));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        if (keepPages > 0)
            bytes.truncate(qsizetype(keepPages) * 4096);
        if (zeroPage >= 0)
            bytes.replace(qsizetype(zeroPage) * 4096, 4096, QByteArray(4096, '\0'));
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString damaged = folder.filePath(QStringLiteral("dañado.mdb"));
        QFile copy(damaged);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        QCOMPARE(copy.write(bytes), bytes.size());
        copy.close();

        Transaction transaction;
        QVERIFY(!testsupport::connectAccess(transaction, damaged));
        QCOMPARE(transaction.SQLCode, -1L);
        QCOMPARE(transaction.SQLDBCode, dw::dberror::Corrupt);
        QVERIFY2(transaction.SQLErrText.contains(QStringLiteral("dañado.mdb")),
                 qPrintable(transaction.SQLErrText));
    }

    // Long values that cannot be read whole refuse the file with their count, as damaged pages
    // do, instead of showing empty or cut: length flags of a value over 16 MiB, both flags at
    // once, and a length longer than the pages hold. In memo_16384, member 2's row holds the
    // four long-value headers (length and flags, little-endian) at these bytes.
    void unreadableLongValuesRefuseTheFile_data()
    {
        QTest::addColumn<Patch>("bytes");
        QTest::addColumn<QString>("count");
        constexpr int area = 114372;
        constexpr int projects = 114384;
        constexpr int students = 114396;
        QTest::newRow("flags 02") << Patch{{projects + 3, 0x02}} << QStringLiteral("1 texto largo");
        QTest::newRow("flags 02 and c0")
            << Patch{{projects + 3, 0x02}, {students + 3, 0xc0}} << QStringLiteral("2 textos largos");
        QTest::newRow("longer than its pages") << Patch{{area + 1, 0x81}} << QStringLiteral("1 texto largo");
    }
    void unreadableLongValuesRefuseTheFile()
    {
        QFETCH(Patch, bytes);
        QFETCH(QString, count);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("largos.mdb"));
        QVERIFY(testsupport::writeFixture(QStringLiteral("memo_16384.mdb.z"), file, [&](QByteArray &data) {
            for (const auto &[offset, value] : bytes)
                data[offset] = char(value);
        }));
        Transaction transaction;
        QVERIFY(!testsupport::connectAccess(transaction, file));
        QCOMPARE(transaction.SQLDBCode, dw::dberror::Corrupt);
        QVERIFY2(transaction.SQLErrText.contains(count), qPrintable(transaction.SQLErrText));
    }

    // Two bytes of a properties record in the catalog changed, as the fuzzer found them: the
    // Access library reads past its buffer there. The reader's child process takes the blow;
    // the program either reads every member or calls the file damaged, and goes on.
    void damagedPropertiesRecordHarmsNothing()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("propiedades.mdb"));
        QVERIFY(testsupport::writeFixture(QStringLiteral("memo_long.mdb.z"), file, [](QByteArray &data) {
            data[14 * 4096 + 2859] = 0x01;
            data[14 * 4096 + 2860] = 0x01;
        }));
        Transaction transaction;
        if (testsupport::connectAccess(transaction, file))
            QCOMPARE(rows(*transaction.connection(), QStringLiteral("SELECT id FROM directorio")).size(),
                     std::size_t(3)); // every member of the file
        else
            QCOMPARE(transaction.SQLDBCode, dw::dberror::Corrupt);
        Transaction again;
        QVERIFY(testsupport::connectAccess(again, fixture(QStringLiteral("zemparol_jet4.mdb"))));
    }

    void filesStayUntouched()
    {
        const QString file = fixture(QStringLiteral("zemparol_jet4.mdb"));
        const QByteArray before = fileHash(file);
        const QDateTime modified = QFileInfo(file).lastModified();
        {
            Transaction transaction;
            QVERIFY(testsupport::connectAccess(transaction, file));
            dw::DbError error;
            QVERIFY(!transaction.connection()->query(QStringLiteral("UPDATE directorio SET nombre = 'x'"), {},
                                                     error));
            QCOMPARE(error.code, dw::dberror::ReadOnly);
            QVERIFY(!transaction.connection()->query(QStringLiteral("DELETE FROM directorio"), {}, error));
            QCOMPARE(rows(*transaction.connection(), QStringLiteral("SELECT id FROM directorio")).size(),
                     std::size_t(60));
        }
        QCOMPARE(fileHash(file), before);
        QCOMPARE(QFileInfo(file).lastModified(), modified);
    }
};

QTEST_GUILESS_MAIN(TestMdb)
#include "tst_mdb.moc"
