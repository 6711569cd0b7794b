// The built-in driver reads the database as it is at every search: changes, a replaced
// Access file, a file gone for a while; the Access import cache; files refused before they
// are read; and nothing ever written beside the database.
#include "support/fakeinteraction.h"
#include "support/sample.h"

#include "datawindow.h"
#include "db/accesscache.h"
#include "db/errors.h"
#include "db/privatecopy.h"
#include "db/transaction.h"
#include "files/temporaryfolder.h"

#include <sqlite3.h>
#include <xxhash.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kListing = uR"dwl(
datawindow(processing=grid)
table(name=directorio)
tablecolumn(name=id type=long dbname="directorio.id")
tablecolumn(name=nombre type=char(255) dbname="directorio.nombre")
column(id=1 name=id x=0 y=0 width=100 height=20)
)dwl"_s;

void execute(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    const QByteArray problem = message ? QByteArray(message) : QByteArray();
    sqlite3_free(message);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, problem.constData());
}

// A writer keeping `file` in WAL mode with its log never written into the file, once it ran
// `sql`; null when that failed.
using Writer = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;
Writer walWriter(const QString &file, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    Writer writer(db, sqlite3_close);
    const QByteArray all = "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;" + sql;
    if (sqlite3_exec(db, all.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        writer.reset();
    return writer;
}

qint64 count(dw::Connection &db, const QString &sql, dw::DbError *failure = nullptr)
{
    dw::DbError error;
    auto cursor = db.query(sql, {}, error);
    if (failure)
        *failure = error;
    return cursor && cursor->next() ? cursor->integer(0) : -1;
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
        : QByteArray();
}

// Replaces a file the way a copy over it does: a new file under the same name.
bool replaceWith(const QString &source, const QString &target)
{
    const QString temporary = target + u".new"_s;
    return QFile::copy(source, temporary) && ::rename(qPrintable(temporary), qPrintable(target)) == 0;
}

// Files under the temporary folder outside `own` (the test's own folder): compared before
// and after, what the driver left there.
QStringList filesLeftInTemp(const QString &own)
{
    QStringList left;
    QDirIterator it(QDir::tempPath(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!file.startsWith(own + u'/'))
            left << file;
    }
    return left;
}

// Files of the temporary folder (outside the test's own folder `own`) this process holds
// open under a name: a private copy that kept its name after it was opened would stay
// behind a killed program.
QStringList namedOpenFilesInTemp(const QString &own)
{
    QStringList named;
    const QString temporary = QDir::tempPath() + u'/';
    for (const QFileInfo &fd : QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(temporary) && !target.startsWith(own + u'/') && QFileInfo::exists(target))
            named << target;
    }
    return named;
}

long peakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestLiveData : public QObject
{
    Q_OBJECT

private:
    QString fixture(const QString &name) const
    {
        return QDir(testsupport::fixturesDirectory()).filePath(name);
    }

    // The test's own temporary folder, so that what other programs leave in /tmp meanwhile
    // does not count as left by this one.
    QTemporaryDir m_temporary;

private slots:
    void initTestCase()
    {
        QVERIFY(m_temporary.isValid());
        qputenv("TMPDIR", QFile::encodeName(m_temporary.path()));
    }
    void cleanupTestCase() { qunsetenv("TMPDIR"); }
    void init() { QDir(dw::accessCacheDirectory()).removeRecursively(); }

    void sqliteChangesSeenAtTheNextSearch()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        execute(file,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                "INSERT INTO directorio VALUES (1, 'Ana'), (2, 'Luis')");
        dw::Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, file));
        dw::Connection &db = *transaction.connection();
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 2);

        execute(file, "INSERT INTO directorio VALUES (3, 'Eva')");
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio WHERE nombre = 'Eva'"_s), 1);
        execute(file, "DELETE FROM directorio WHERE id = 1");
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 2);
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio WHERE id = 1"_s), 0);

        // A file replaced by another one under the same name is read anew too.
        const QString other = folder.filePath(u"otra.mdb"_s);
        execute(other,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT); INSERT INTO directorio VALUES (9, 'Sol')");
        QVERIFY(replaceWith(other, file));
        QCOMPARE(count(db, u"SELECT max(id) FROM directorio"_s), 9);
    }

    // A file cut short or overwritten in place (as a copy over it does: truncate, then write)
    // while a search reads it fails that search with a database error, never a crash, and the
    // next search reads the new file.
    void sqliteFileCutWhileRead()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        const QString big = folder.filePath(u"grande.mdb"_s);
        execute(big,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
                " INSERT INTO directorio SELECT i, printf('%0200d', i) FROM n");
        const QString small = folder.filePath(u"otra.mdb"_s);
        execute(small,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT); INSERT INTO directorio VALUES (9, 'Sol')");
        QFile replacement(small);
        QVERIFY(replacement.open(QIODevice::ReadOnly));
        const QByteArray smallBytes = replacement.readAll();

        QVERIFY(QFile::copy(big, file));
        dw::Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, file));
        dw::Connection &db = *transaction.connection();
        for (const bool rewrite : {false, true}) {
            QVERIFY(replaceWith(big, file));
            QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 20000);
            dw::DbError error;
            auto cursor = db.query(u"SELECT id, nombre FROM directorio"_s, {}, error);
            QVERIFY2(cursor, qPrintable(error.text));
            for (int i = 0; i < 10; ++i)
                QVERIFY(cursor->next());
            QFile target(file);
            QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (rewrite)
                QCOMPARE(target.write(smallBytes), smallBytes.size());
            target.close();
            int rows = 10;
            while (cursor->next())
                ++rows;
            QVERIFY2(cursor->error(), qPrintable(u"%1 rows read without an error"_s.arg(rows)));
            cursor.reset();
            dw::DbError failure;
            QCOMPARE(count(db, u"SELECT max(id) FROM directorio"_s, &failure), rewrite ? 9 : -1);
            if (!rewrite) {
                QCOMPARE(failure.code, dw::dberror::NotADatabase); // an empty file
                QVERIFY(replaceWith(small, file));
                QCOMPARE(count(db, u"SELECT max(id) FROM directorio"_s), 9);
            }
        }
    }

    void accessFileReplacedBetweenSearches()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), file));
        const int imports = dw::accessImportCount();
        dw::Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, file));
        dw::Connection &db = *transaction.connection();
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 40);
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 40);
        QCOMPARE(dw::accessImportCount(), imports + 1); // an unchanged file is not read again

        QVERIFY(replaceWith(fixture(u"directorio_41.mdb"_s), file));
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio"_s), 41);
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio WHERE id = 41"_s), 1);
        QVERIFY(replaceWith(fixture(u"directorio_40.mdb"_s), file));
        QCOMPARE(count(db, u"SELECT count(*) FROM directorio WHERE id = 41"_s), 0);
        QCOMPARE(dw::accessImportCount(), imports + 3);
    }

    void accessCacheReusedRebuiltAndPrivate()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), file));
        auto start = [&] {
            dw::Transaction transaction;
            return testsupport::connectAccess(transaction, file)
                ? count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s)
                : -1;
        };
        const int imports = dw::accessImportCount();
        QCOMPARE(start(), 40);
        QCOMPARE(dw::accessImportCount(), imports + 1);
        QCOMPARE(start(), 40);
        QCOMPARE(dw::accessImportCount(), imports + 1); // the second start reads the cache

        const QFileInfoList caches
            = QDir(dw::accessCacheDirectory()).entryInfoList({u"*.sqlite"_s}, QDir::Files);
        QCOMPARE(caches.size(), 1);
        const QString cache = caches.front().absoluteFilePath();
        struct stat info
        {
        };
        QCOMPARE(::stat(qPrintable(cache), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));

        // A member's e-mail changed deep in the file, with the size and the modification time
        // kept as a copy or a backup restore keeps them, is imported again; a new time alone
        // keeps the cache.
        const QDateTime modified = QFileInfo(file).lastModified();
        QFile access(file);
        QVERIFY(access.open(QIODevice::ReadWrite));
        QByteArray bytes = access.readAll();
        // Text is stored as UTF-16.
        const auto utf16 = [](const QString &text) {
            return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        };
        const QString before = u"socio40@"_s;
        const QString after = u"socio04@"_s;
        QVERIFY(bytes.indexOf(utf16(before)) > 128 * 1024);
        bytes.replace(utf16(before), utf16(after));
        QVERIFY(access.seek(0) && access.write(bytes) == bytes.size());
        QVERIFY(access.setFileTime(modified, QFileDevice::FileModificationTime));
        access.close();
        QCOMPARE(QFileInfo(file).lastModified(), modified);
        {
            dw::Transaction transaction;
            QVERIFY(testsupport::connectAccess(transaction, file));
            dw::DbError error;
            auto cursor
                = transaction.connection()->query(u"SELECT email FROM directorio WHERE id = 40"_s, {}, error);
            QVERIFY2(cursor && cursor->next(), qPrintable(error.text));
            const auto email = cursor->utf8(0);
            QCOMPARE(QString::fromUtf8(email.data(), qsizetype(email.size())), after + u"red.example.org"_s);
        }
        QCOMPARE(dw::accessImportCount(), imports + 2);
        QVERIFY(access.open(QIODevice::ReadWrite));
        QVERIFY(
            access.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        access.close();
        QCOMPARE(start(), 40);
        QCOMPARE(dw::accessImportCount(), imports + 2);

        // Garbage inside the cache is never shown: the cache is made again.
        QFile damaged(cache);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        const qint64 middle = damaged.size() / 2;
        QVERIFY(damaged.seek(middle - middle % 4096));
        damaged.write(QByteArray(8192, '\xa5'));
        damaged.close();
        QCOMPARE(start(), 40);
        QCOMPARE(dw::accessImportCount(), imports + 3);
        QCOMPARE(start(), 40);
        QCOMPARE(dw::accessImportCount(), imports + 3);

        // Only the three most recently used directories stay cached.
        for (int i = 0; i < 3; ++i) {
            const QString other = folder.filePath(u"copia%1.mdb"_s.arg(i));
            QVERIFY(QFile::copy(fixture(u"directorio_small.mdb"_s), other));
            dw::Transaction transaction;
            QVERIFY(testsupport::connectAccess(transaction, other));
        }
        QCOMPARE(QDir(dw::accessCacheDirectory()).entryInfoList({u"*.sqlite"_s}, QDir::Files).size(), 3);

        // A change past the first megabytes counts as much as one in the first pages.
        const QString padded = folder.filePath(u"grande.mdb"_s);
        QVERIFY(QFile::copy(file, padded));
        QFile grown(padded);
        QVERIFY(grown.open(QIODevice::Append));
        QCOMPARE(grown.write(QByteArray(3 * 1024 * 1024, '\0')), 3 * 1024 * 1024);
        grown.close();
        const auto importsOf = [&](const QString &path) {
            const int counted = dw::accessImportCount();
            dw::Transaction transaction;
            return testsupport::connectAccess(transaction, path) ? dw::accessImportCount() - counted : -1;
        };
        QCOMPARE(importsOf(padded), 1);
        QCOMPARE(importsOf(padded), 0);
        const QDateTime paddedTime = QFileInfo(padded).lastModified();
        QVERIFY(grown.open(QIODevice::ReadWrite) && grown.seek(grown.size() - 4096) && grown.putChar('x'));
        QVERIFY(grown.setFileTime(paddedTime, QFileDevice::FileModificationTime));
        grown.close();
        QCOMPARE(importsOf(padded), 1);
    }

    // The cache's key is XXH3 of the whole file: the published values of "" and "abc", and a
    // file of several read blocks hashed as one piece.
    void accessKeyIsXxh3OfTheWholeFile()
    {
        QTemporaryDir folder;
        const auto keyOf = [&](const QByteArray &bytes) {
            QFile file(folder.filePath(u"f.mdb"_s));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
                return quint64(0);
            file.close();
            return dw::accessFileKey(file.fileName());
        };
        QCOMPARE(keyOf({}), Q_UINT64_C(0x2d06800538d394c2));
        QCOMPARE(keyOf("abc"), Q_UINT64_C(0x78af5f94892f3950));
        QByteArray large(5 * 1024 * 1024 / 2 + 17, '\0');
        for (qsizetype i = 0; i < large.size(); ++i)
            large[i] = char((i * 7919) >> 3);
        QCOMPARE(keyOf(large), quint64(XXH3_64bits(large.constData(), std::size_t(large.size()))));
        QCOMPARE(dw::accessFileKey(folder.filePath(u"no-existe.mdb"_s)), quint64(0));
    }

    // A start on an unchanged file opens the cache without hashing the file again; a byte
    // rewritten with the file's size and times put back exactly (as cp -p or rsync -t do)
    // still changes its change time, and the file is imported again.
    void accessCacheKeptByStampAndRebuiltWhenTheContentChanged()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), file));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        const auto start = [&] {
            dw::Transaction transaction;
            return testsupport::connectAccess(transaction, file)
                ? count(*transaction.connection(),
                        u"SELECT count(*) FROM directorio WHERE email LIKE 'socio04@%'"_s)
                : -1;
        };
        const int imports = dw::accessImportCount();
        QCOMPARE(start(), 0);
        QCOMPARE(start(), 0);
        QCOMPARE(dw::accessImportCount(), imports + 1);
        const QFileInfoList records
            = QDir(dw::accessCacheDirectory()).entryInfoList({u"*.origen"_s}, QDir::Files);
        QCOMPARE(records.size(), 1);

        struct stat before
        {
        };
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
        QFile access(file);
        QVERIFY(access.open(QIODevice::ReadWrite));
        QByteArray bytes = access.readAll();
        const QString old = u"socio40@"_s;
        const QString changed = u"socio04@"_s;
        bytes.replace(QByteArray(reinterpret_cast<const char *>(old.utf16()), old.size() * 2),
                      QByteArray(reinterpret_cast<const char *>(changed.utf16()), changed.size() * 2));
        QVERIFY(access.seek(0) && access.write(bytes) == bytes.size());
        access.close();
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
        struct stat after
        {
        };
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
        QCOMPARE(after.st_size, before.st_size);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

        QCOMPARE(start(), 1);
        QCOMPARE(dw::accessImportCount(), imports + 2);
        QCOMPARE(start(), 1);
        QCOMPARE(dw::accessImportCount(), imports + 2);
    }

    // Private copies go where TMPDIR says when it names a folder the user can write, else to
    // the cache folder: never to a relative folder, the start folder or the root.
    void privateCopiesOnlyWhereTemporaryFilesBelong()
    {
        QTemporaryDir start;
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        const QString previousFolder = QDir::currentPath();
        const QByteArray previousTemporary = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([&] {
            QDir::setCurrent(previousFolder);
            qputenv("TMPDIR", previousTemporary);
        });
        QVERIFY(QDir::setCurrent(start.path()));
        QVERIFY(QDir(start.path()).mkpath(u"tmp"_s));
        QFile plain(start.filePath(u"archivo"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QList<std::pair<QByteArray, QString>> cases{
            {start.path().toUtf8(), start.path()},
            {"/carpeta/que/no/existe", cache},
            {"tmp", cache},
            {"/", cache},
            {QFile::encodeName(plain.fileName()), cache},
        };
        for (const auto &[given, expected] : cases) {
            qputenv("TMPDIR", given);
            QCOMPARE(dw::temporaryFolder(), QDir::cleanPath(expected));
            const std::unique_ptr<QTemporaryDir> scratch = dw::makeScratchFolder();
            QVERIFY(scratch);
            QCOMPARE(QFileInfo(scratch->path()).absolutePath(), QDir::cleanPath(expected));
        }
        qunsetenv("TMPDIR");
        QCOMPARE(dw::temporaryFolder(), u"/tmp"_s);
        QCOMPARE(dw::intendedTemporaryFolder(), u"/tmp"_s);
    }

    void vanishedFileKeepsRowsAndRecovers()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), file));
        dw::Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, file));
        FakeInteraction fake;
        dw::DataWindow listing;
        QString error;
        QVERIFY2(listing.setSyntax(kListing, &error), qPrintable(error));
        listing.SetTransObject(&transaction);
        QCOMPARE(listing.Retrieve(), 40);

        const QString away = folder.filePath(u"fuera.mdb"_s);
        QVERIFY(QFile::rename(file, away));
        QCOMPARE(listing.Retrieve(), -1);
        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.boxes.front().title, u"Error de base de datos"_s);
        QVERIFY2(fake.boxes.front().text.contains(u"No se encuentra el archivo"_s),
                 qPrintable(fake.boxes.front().text));
        QCOMPARE(listing.RowCount(), 40); // the last rows read stay

        QVERIFY(QFile::rename(away, file));
        QCOMPARE(listing.Retrieve(), 40);
        QCOMPARE(fake.boxes.size(), 1);

        // A statement the database refuses still leaves no rows.
        dw::DbError refused;
        QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM nada"_s, &refused), -1);
        QVERIFY(!refused.unavailable);
    }

    void nothingWrittenBesideTheDatabase()
    {
        QTemporaryDir folder;
        const QString access = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_41.mdb"_s), access));
        const QString sqlite = folder.filePath(u"lista.sqlite"_s);
        execute(sqlite,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT); INSERT INTO directorio VALUES (1, 'Ana')");

        // A WAL-mode pair as a writer leaves it: changes still in the log, no shared memory.
        const QString writerFile = folder.filePath(u"escritor/base.sqlite"_s);
        QVERIFY(QDir().mkpath(QFileInfo(writerFile).path()));
        sqlite3 *writer = nullptr;
        sqlite3_open(QFile::encodeName(writerFile).constData(), &writer);
        QCOMPARE(sqlite3_exec(writer,
                              "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                              "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                              "INSERT INTO directorio VALUES (1, 'Ana'), (2, 'Luis')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        const QString wal = folder.filePath(u"wal.sqlite"_s);
        QVERIFY(QFile::copy(writerFile, wal) && QFile::copy(writerFile + u"-wal"_s, wal + u"-wal"_s));
        QCOMPARE(sqlite3_exec(writer, "INSERT INTO directorio VALUES (3, 'Eva')", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QVERIFY(QFileInfo(writerFile + u"-wal"_s).size() > 0);

        const QStringList before = QDir(folder.path()).entryList(QDir::Files);
        std::map<QString, QByteArray> hashes;
        for (const QString &name : before)
            hashes[name] = hashOf(folder.filePath(name));
        for (const QString &file : {access, sqlite, wal}) {
            dw::Transaction transaction;
            QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
            for (int i = 0; i < 3; ++i)
                QVERIFY(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s) > 0);
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), before);
        }
        for (const QString &name : before)
            QCOMPARE(hashOf(folder.filePath(name)), hashes[name]);

        // The WAL pair is read with its log, and a newer log is seen at the next search.
        dw::Transaction transaction;
        QVERIFY(testsupport::connectAccess(transaction, wal));
        QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 2);
        QVERIFY(QFile::remove(wal + u"-wal"_s) && QFile::copy(writerFile + u"-wal"_s, wal + u"-wal"_s));
        QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 3);
        QVERIFY(!QFileInfo::exists(wal + u"-shm"_s));
        sqlite3_close(writer);
    }

    // A WAL file with a live log is read where it lies, with a private copy of its log made
    // once per change of the log (never of the file, never once per search); nothing of the
    // copy stays on the disk while it is read, so nothing can stay behind a killed program.
    void walLogCopiedOncePerChangeAndNeverLeft()
    {
        QTemporaryDir folder;
        const QStringList tempBefore = filesLeftInTemp(folder.path());
        const QString file = folder.filePath(u"base.sqlite"_s);
        const Writer writer = walWriter(file,
                                        "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                                        "INSERT INTO directorio VALUES (1, 'Ana'), (2, 'Luis')");
        QVERIFY(writer);
        // What a program killed before its copies lost their names left goes with the next copy.
        const pid_t gone = ::fork();
        if (gone == 0)
            ::_exit(0);
        QVERIFY(gone > 0 && ::waitpid(gone, nullptr, 0) == gone);
        const QString left = QDir::temp().filePath(u"zemparol-privado-%1-AbCdEf"_s.arg(gone));
        QVERIFY(QDir().mkpath(left) && QFile::copy(file, left + u"/base.sqlite"_s));

        const int copies = dw::privateCopyCount();
        const qint64 bytes = dw::privateCopyBytes();
        dw::Transaction transaction;
        QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
        QVERIFY(!QFileInfo::exists(left));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 2);
        QCOMPARE(dw::privateCopyCount(), copies + 1);
        QCOMPARE(dw::privateCopyBytes(), bytes + QFileInfo(file + u"-wal"_s).size());
        QCOMPARE(filesLeftInTemp(folder.path()), tempBefore);
        QCOMPARE(namedOpenFilesInTemp(folder.path()), QStringList());

        // A new row grows the log; the log's time set back, its size alone tells.
        struct stat log
        {
        };
        QCOMPARE(::stat(QFile::encodeName(file + u"-wal"_s).constData(), &log), 0);
        QCOMPARE(
            sqlite3_exec(writer.get(), "INSERT INTO directorio VALUES (3, 'Eva')", nullptr, nullptr, nullptr),
            SQLITE_OK);
        const timespec times[2] = {log.st_atim, log.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file + u"-wal"_s).constData(), times, 0), 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 3);
        QCOMPARE(dw::privateCopyCount(), copies + 2);
        QCOMPARE(filesLeftInTemp(folder.path()), tempBefore);

        // The log written into the file: the file itself is read again, still in place.
        QCOMPARE(sqlite3_exec(writer.get(),
                              "INSERT INTO directorio VALUES (4, 'Rosa'); PRAGMA wal_checkpoint(TRUNCATE)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 4);
        QCOMPARE(dw::privateCopyCount(), copies + 2);
        QVERIFY(!QFileInfo::exists(file + u"-journal"_s));
    }

    // A writer that writes its log into the file while a long reading runs: the reading
    // stops with a sentence that says so, never with rows of two versions mixed, and the
    // next search reads the file as it is now.
    void checkpointDuringReadingStopsIt()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"base.sqlite"_s);
        const Writer writer
            = walWriter(file,
                        "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
                        " INSERT INTO directorio SELECT i, printf('%0300d', i) FROM n;"
                        "PRAGMA wal_checkpoint(TRUNCATE)");
        QVERIFY(writer);
        dw::Transaction transaction;
        QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
        dw::DbError error;
        auto cursor = transaction.connection()->query(u"SELECT id, nombre FROM directorio"_s, {}, error);
        QVERIFY(cursor && cursor->next());
        QCOMPARE(sqlite3_exec(writer.get(),
                              "UPDATE directorio SET nombre = 'otro'; PRAGMA wal_checkpoint(TRUNCATE)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        long older = 1;
        while (cursor->next()) {
            QCOMPARE(cursor->utf8(1).substr(0, 3), std::string_view("000"));
            ++older;
        }
        QVERIFY(older < 3000);
        QVERIFY(cursor->error());
        QVERIFY2(cursor->error()->text.contains(u"cambió mientras se leía"_s),
                 qPrintable(cursor->error()->text));
        QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio WHERE nombre = 'otro'"_s),
                 3000);
    }

    // Names longer than SQLite's own limit open like any other, with or without a live log,
    // and so do Access files.
    void longNamesOpen()
    {
        QTemporaryDir folder;
        QString deep = folder.path();
        while (QFile::encodeName(deep).size() < 700)
            deep += u"/carpeta-con-un-nombre-bastante-largo-ñandú"_s;
        QVERIFY(QDir().mkpath(deep));
        // SQLite itself cannot write there: the files are made nearby and copied in.
        const QString plain = deep + u"/zemparol.sqlite"_s;
        execute(folder.filePath(u"corto.sqlite"_s),
                "CREATE TABLE directorio(id INTEGER); INSERT INTO directorio VALUES (1), (2)");
        QVERIFY(QFile::copy(folder.filePath(u"corto.sqlite"_s), plain));
        const QString logged = deep + u"/registro.sqlite"_s;
        const QString writerFile = folder.filePath(u"registro.sqlite"_s);
        const Writer writer = walWriter(
            writerFile, "CREATE TABLE directorio(id INTEGER); INSERT INTO directorio VALUES (1), (2), (3)");
        QVERIFY(writer);
        QVERIFY(QFile::copy(writerFile, logged) && QFile::copy(writerFile + u"-wal"_s, logged + u"-wal"_s));
        const QString access = deep + u"/acceso.mdb"_s;
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), access));
        const std::pair<QString, qint64> cases[] = {{plain, 2}, {logged, 3}, {access, 40}};
        for (const auto &[path, rows] : cases) {
            dw::Transaction transaction;
            QVERIFY2(testsupport::connectAccess(transaction, path), qPrintable(transaction.SQLErrText));
            QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), rows);
        }
        QCOMPARE(QDir(deep).entryList(QDir::Files).size(), 4); // nothing beside them
    }

    // Failures that are not the database's are named for what they are: a cache folder that
    // cannot be written (the import then goes to a private copy for the session), no room to
    // write the local copy anywhere, a journal a crashed writer left, a loop of symbolic
    // links, a socket.
    void problemsNamedForWhatTheyAre()
    {
        QTemporaryDir folder;
        const QStringList tempBefore = filesLeftInTemp(folder.path());
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), file));

        // A file where the cache folder should be.
        const QString cacheFolder = dw::accessCacheDirectory();
        QVERIFY(QDir().mkpath(QFileInfo(cacheFolder).path()));
        QFile blocker(cacheFolder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto unblock = qScopeGuard([&] { QFile::remove(cacheFolder); });
        {
            dw::Transaction transaction;
            QVERIFY2(testsupport::connectAccess(transaction, file), qPrintable(transaction.SQLErrText));
            QCOMPARE(count(*transaction.connection(), u"SELECT count(*) FROM directorio"_s), 40);
            QCOMPARE(filesLeftInTemp(folder.path()), tempBefore);
            QCOMPARE(namedOpenFilesInTemp(folder.path()), QStringList());
        }

        // No room for any local copy: files may not grow past a few pages.
        unblock.dismiss();
        QVERIFY(QFile::remove(cacheFolder));
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit small{8192, limit.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        dw::Transaction transaction;
        const bool opened = testsupport::connectAccess(transaction, file);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!opened);
        QCOMPARE(transaction.SQLDBCode, dw::dberror::LocalCopy);
        QVERIFY2(transaction.SQLErrText.contains(u"copia local"_s)
                     && !transaction.SQLErrText.contains(u"dañado"_s),
                 qPrintable(transaction.SQLErrText));
        QCOMPARE(filesLeftInTemp(folder.path()), tempBefore);

        // A rollback journal beside the file, as a writer that stopped in the middle leaves it.
        const QString written = folder.filePath(u"escrito.sqlite"_s);
        execute(written,
                "CREATE TABLE directorio(id INTEGER, nombre TEXT);"
                "INSERT INTO directorio VALUES (1, 'Ana')");
        sqlite3 *writer = nullptr;
        sqlite3_open(QFile::encodeName(written).constData(), &writer);
        QCOMPARE(sqlite3_exec(writer,
                              "PRAGMA cache_size=2; BEGIN;"
                              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
                              " INSERT INTO directorio SELECT i, printf('%0300d', i) FROM n",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        const QString crashed = folder.filePath(u"interrumpido.mdb"_s);
        QVERIFY(QFile::copy(written, crashed)
                && QFile::copy(written + u"-journal"_s, crashed + u"-journal"_s));
        sqlite3_close(writer);
        QVERIFY(!testsupport::connectAccess(transaction, crashed));
        QCOMPARE(transaction.SQLDBCode, dw::dberror::LeftoverJournal);
        QVERIFY2(transaction.SQLErrText.contains(u"-journal"_s), qPrintable(transaction.SQLErrText));

        const QString loop = folder.filePath(u"ciclo.mdb"_s);
        QCOMPARE(::symlink(qPrintable(loop + u"2"_s), qPrintable(loop)), 0);
        QCOMPARE(::symlink(qPrintable(loop), qPrintable(loop + u"2"_s)), 0);
        QVERIFY(!testsupport::connectAccess(transaction, loop));
        QVERIFY2(transaction.SQLErrText.contains(u"forman un ciclo"_s), qPrintable(transaction.SQLErrText));

        const QString socketFile = folder.filePath(u"socket.mdb"_s);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(socketFile);
        QVERIFY(std::size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        const bool socketOpened = testsupport::connectAccess(transaction, socketFile);
        ::close(fd);
        QVERIFY(!socketOpened);
        QVERIFY2(transaction.SQLErrText.contains(u"(es un socket)"_s), qPrintable(transaction.SQLErrText));
    }

    void unfitFilesRefusedBeforeReading()
    {
        QTemporaryDir folder;
        // A sparse file far beyond what an Access database may hold, with a real header.
        const QString huge = folder.filePath(u"enorme.mdb"_s);
        QVERIFY(QFile::copy(fixture(u"directorio_40.mdb"_s), huge));
        QVERIFY(QFile(huge).resize(qint64(3) * 1024 * 1024 * 1024));
        const long peak = peakKilobytes();
        dw::Transaction transaction;
        QVERIFY(!testsupport::connectAccess(transaction, huge));
        QCOMPARE(transaction.SQLDBCode, dw::dberror::TooLarge);
        QVERIFY2(transaction.SQLErrText.contains(u"2 GB"_s), qPrintable(transaction.SQLErrText));
        QVERIFY(peakKilobytes() - peak < 64 * 1024);

        // A pipe is refused without waiting for a writer.
        const QString pipe = folder.filePath(u"tuberia.mdb"_s);
        QCOMPARE(::mkfifo(qPrintable(pipe), 0600), 0);
        QVERIFY(!testsupport::connectAccess(transaction, pipe));
        QCOMPARE(transaction.SQLDBCode, dw::dberror::FileUnreadable);
        QVERIFY2(transaction.SQLErrText.contains(u"tubería"_s), qPrintable(transaction.SQLErrText));
    }

    void damagedLongValuePagesRefused()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"zemparol.mdb"_s);
        QFile source(fixture(u"zemparol_jet4.mdb"_s));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        // Zero the last long-value page (a data page marked "LVAL"): it holds members' texts.
        constexpr qsizetype page = 4096;
        qsizetype zeroed = -1;
        for (qsizetype at = page; at + page <= bytes.size(); at += page) {
            if (bytes[at] == 1 && bytes.mid(at + 4, 4) == "LVAL")
                zeroed = at;
        }
        QVERIFY(zeroed > 0);
        bytes.replace(zeroed, page, QByteArray(page, '\0'));
        QFile copy(file);
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size());
        copy.close();

        dw::Transaction transaction;
        QVERIFY(!testsupport::connectAccess(transaction, file));
        QCOMPARE(transaction.SQLDBCode, dw::dberror::Corrupt);
        QVERIFY2(transaction.SQLErrText.contains(QRegularExpression(u"\\d+ textos? largos?"_s)),
                 qPrintable(transaction.SQLErrText));
    }
};

QTEST_GUILESS_MAIN(TestLiveData)
#include "tst_livedata.moc"
