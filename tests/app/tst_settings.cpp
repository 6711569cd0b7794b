// The program's one settings file: every setting read from the user's file, then the
// machine-wide one; writes that change one line and leave the administrator's comments
// and keys alone; a file that cannot be written said once.

#include "connectionsetting.h"
#include "db/statementlimits.h"
#include "db/transaction.h"
#include "registry.h"
#include "settings/settingsstore.h"
#include "support/fakeinteraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kListingKey = u"HKEY_CURRENT_USER\\Software\\Calvexa\\zemparol\\GridStyle\\dw_listado_grid"_s;

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TstSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void oneFileServesEverySetting();
    void writingKeepsWhatTheAdministratorWrote_data();
    void writingKeepsWhatTheAdministratorWrote();
    void damagedFilesStillTakeTheValue_data();
    void damagedFilesStillTakeTheValue();
    void unwritableFileIsSaidOnce();
    void writesKeepTheFileItsEncodingAndItsOwner();

private:
    [[nodiscard]] QString userFile() const { return m_user.filePath(u"Calvexa/Zemparol.conf"_s); }
    [[nodiscard]] QString machineFile() const { return m_machine.filePath(u"Calvexa/Zemparol.conf"_s); }

    QTemporaryDir m_user;
    QTemporaryDir m_machine;
};

void TstSettings::initTestCase()
{
    QVERIFY(m_user.isValid() && m_machine.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_user.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_machine.path());
    // As the program names itself.
    QCoreApplication::setApplicationName(u"zemparol"_s);
}

void TstSettings::init()
{
    for (const QString &file : {userFile(), machineFile(), m_user.filePath(u"Calvexa/zemparol.conf"_s)})
        QFile::remove(file);
}

void TstSettings::oneFileServesEverySetting()
{
    const dw::SettingsStore store = dw::SettingsStore::program();
    QCOMPARE(store.userFile(), userFile());
    QCOMPARE(store.machineFile(), machineFile());

    writeFile(userFile(),
              "[Consultas]\nSegundosMaximos=2\nMemoriaTemporalMB=64\n"
              "[Conexion]\nConnectString=\"Driver={X};Server=a,b\"\n");
    // A file of the same name in small letters is not the program's.
    writeFile(m_user.filePath(u"Calvexa/zemparol.conf"_s), "[Consultas]\nSegundosMaximos=7\nResultadoMB=7\n");
    writeFile(machineFile(),
              "[Consultas]\nSegundosMaximos=9\nResultadoMB=100\n"
              "[GridStyle]\ndw_listado_grid\\sortorder=email D\n"
              "dw_listado_grid\\columnorder=  \n");

    // The user's value first, the machine-wide one after it.
    const dw::StatementLimits limits = dw::statementLimits();
    QCOMPARE(limits.seconds, 2);
    QCOMPARE(limits.memoryBytes, qint64(64) * 1024 * 1024);
    QCOMPARE(limits.resultBytes, qint64(100) * 1024 * 1024);
    QCOMPARE(configuredConnectString(u"Calvexa"_s, u"zemparol"_s), u"Driver={X};Server=a,b"_s);
    // The configured string reaches the driver whole, apostrophes in a password or a path too.
    for (const QString &configured : {u"Driver={X};Server=a,b"_s, u"DSN=red;UID=o'hara;PWD='x''y'"_s})
        QCOMPARE(dw::Transaction::connectString(driverDbParm(configured)), configured);

    // The services' key names the application in either case; blanks count as no value.
    QString sort;
    QCOMPARE(rt::RegistryGet(kListingKey, u"sortorder"_s, sort), 1);
    QCOMPARE(sort, u"email D"_s);
    QString order = u"unchanged"_s;
    QCOMPARE(rt::RegistryGet(kListingKey, u"columnorder"_s, order), -1);
    QCOMPARE(order, u"unchanged"_s);

    // A write goes to the user's file, and is read back from it before the machine's.
    QCOMPARE(rt::RegistrySet(kListingKey, u"sortorder"_s, u"nombre A"_s), 1);
    QCOMPARE(
        rt::RegistryGet(QString(kListingKey).replace(u"zemparol"_s, u"ZEMPAROL"_s), u"sortorder"_s, sort), 1);
    QCOMPARE(sort, u"nombre A"_s);
    QVERIFY(readFile(userFile()).contains("dw_listado_grid\\sortorder=nombre A"));
    QVERIFY(!readFile(m_user.filePath(u"Calvexa/zemparol.conf"_s)).contains("sortorder"));
    QVERIFY(!readFile(machineFile()).contains("nombre A"));

    // A bound that is no number, zero or negative is the default, not a stop at once.
    writeFile(userFile(), "[Consultas]\nSegundosMaximos=0\nMemoriaTemporalMB=-5\nResultadoMB=muchos\n");
    QFile::remove(machineFile());
    const dw::StatementLimits defaults = dw::statementLimits();
    QCOMPARE(defaults.seconds, dw::StatementLimits().seconds);
    QCOMPARE(defaults.memoryBytes, dw::StatementLimits().memoryBytes);
    QCOMPARE(defaults.resultBytes, dw::StatementLimits().resultBytes);
}

void TstSettings::writingKeepsWhatTheAdministratorWrote_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray commented = "; Directorio de la red: no borrar\n[Consultas]\n# dos segundos bastan\n"
                                 "SegundosMaximos = 2\nDesconocida=sí\n\n[GridStyle]\n"
                                 "dw_listado_grid\\sortorder=nombre A\n";
    QTest::newRow("changed key, comments and unknown keys kept")
        << commented << u"GridStyle/dw_listado_grid/sortorder"_s << u"email D"_s
        << QByteArray(commented).replace("sortorder=nombre A", "sortorder=email D");
    QTest::newRow("the administrator's spacing kept")
        << commented << u"Consultas/SegundosMaximos"_s << u"5"_s
        << QByteArray(commented).replace("SegundosMaximos = 2", "SegundosMaximos = 5");
    QTest::newRow("new key at the end of its section")
        << commented << u"Consultas/ResultadoMB"_s << u"300"_s
        << QByteArray(commented).replace("Desconocida=sí\n", "Desconocida=sí\nResultadoMB=300\n");
    QTest::newRow("new section after the last line")
        << commented << u"Guardar/Carpeta"_s << u"/home/ana/listados"_s
        << commented + "\n[Guardar]\nCarpeta=/home/ana/listados\n";
    QTest::newRow("separators and quotes inside a value")
        << QByteArray("[GridStyle]\n") << u"GridStyle/dw_listado_grid/columnorder"_s
        << u"nombre,email; \"cargo\" \\ ñ"_s
        << QByteArray(
               "[GridStyle]\ndw_listado_grid\\columnorder=\"nombre,email; \\\"cargo\\\" \\\\ \xc3\xb1\"\n");
    QTest::newRow("section written with slashes")
        << QByteArray("[GridStyle/dw_listado_grid]\nsortorder=nombre A\n")
        << u"GridStyle/dw_listado_grid/sortorder"_s << u"cargo D"_s
        << QByteArray("[GridStyle/dw_listado_grid]\nsortorder=cargo D\n");
    QTest::newRow("Windows line ends kept")
        << QByteArray("; x\r\n[Consultas]\r\nSegundosMaximos=2\r\n") << u"Consultas/SegundosMaximos"_s
        << u"3"_s << QByteArray("; x\r\n[Consultas]\r\nSegundosMaximos=3\r\n");
    QTest::newRow("no file yet") << QByteArray() << u"Consultas/SegundosMaximos"_s << u"3"_s
                                 << QByteArray("[Consultas]\nSegundosMaximos=3\n");
}

void TstSettings::writingKeepsWhatTheAdministratorWrote()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        writeFile(userFile(), before);

    const dw::SettingsStore store = dw::SettingsStore::program();
    QVERIFY(store.setText(key, value));
    QCOMPARE(readFile(userFile()), after);
    QCOMPARE(store.text(key), std::optional<QString>(value));
    QCOMPARE(QSettings(u"Calvexa"_s, u"Zemparol"_s).value(key).toString(), value);

    // The same value again leaves the file as it is; another one is read back at once,
    // even within the same millisecond and at the same size.
    const QDateTime written = QFileInfo(userFile()).lastModified();
    QVERIFY(store.setText(key, value));
    QCOMPARE(QFileInfo(userFile()).lastModified(), written);
    const QString other = QString(value).replace(0, 1, value.startsWith(u'x') ? u'y' : u'x');
    QVERIFY(store.setText(key, other));
    QCOMPARE(store.text(key), std::optional<QString>(other));
}

// A file the reader takes otherwise than line by line, as a damaged one may be: the value
// written reads back, and no key the reader found before is lost.
void TstSettings::damagedFilesStillTakeTheValue_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");

    QTest::newRow("a quote left open above the section's end") << QByteArray(
        "[GridStyle]\ndw_listado_grid\\columnorder=\"nombre,email\n[Consultas]\nSegundosMaximos=2\n")
                                                               << u"GridStyle/dw_listado_grid/sortorder"_s;
    QTest::newRow("zero bytes a power cut left")
        << QByteArray("[GridStyle]\ndw_listado_grid\\sortorder=nombre A\n") + QByteArray(64, '\0')
        << u"GridStyle/dw_listado_grid/sortorder"_s;
    QTest::newRow("a lone carriage return before another key")
        << QByteArray("[GridStyle]\ndw_listado_grid\\sortorder=nombre A\rotra=1\n")
        << u"GridStyle/dw_listado_grid/sortorder"_s;
    QTest::newRow("Latin-1 with a quote left open")
        << QByteArray("; ordenaci\xf3n\n[GridStyle]\nx=\"a\n[Consultas]\nSegundosMaximos=2\n")
        << u"GridStyle/dw_listado_grid/sortorder"_s;
}

void TstSettings::damagedFilesStillTakeTheValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    writeFile(userFile(), before);
    const QStringList keys = QSettings(userFile(), QSettings::IniFormat).allKeys();
    const QString value = u"email D, ñ"_s;
    const dw::SettingsStore store = dw::SettingsStore::program();
    QVERIFY(store.setText(key, value));
    QCOMPARE(store.text(key), std::optional<QString>(value));
    const QStringList now = QSettings(userFile(), QSettings::IniFormat).allKeys();
    for (const QString &kept : keys)
        QVERIFY2(now.contains(kept), qPrintable(kept));
}

void TstSettings::unwritableFileIsSaidOnce()
{
    const QByteArray content
        = "; el administrador fija el orden\n[GridStyle]\ndw_listado_grid\\sortorder=nombre A\n";
    writeFile(userFile(), content);
    QVERIFY(QFile::setPermissions(userFile(),
                                  QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    FakeInteraction fake;
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(
            u"No se puede guardar la configuración en .*Zemparol.conf: el archivo es de sólo lectura"_s));
    QCOMPARE(rt::RegistrySet(kListingKey, u"sortorder"_s, u"email D"_s), -1);
    QCOMPARE(rt::RegistrySet(kListingKey, u"columnorder"_s, u"email,nombre"_s), -1);
    QCOMPARE(readFile(userFile()), content);
    QCOMPARE(fake.boxes.size(), 1);
    QVERIFY(fake.boxes.at(0).text.contains(QDir::toNativeSeparators(userFile())));
    QString sort;
    QCOMPARE(rt::RegistryGet(kListingKey, u"sortorder"_s, sort), 1);
    QCOMPARE(sort, u"nombre A"_s);
    QFile::setPermissions(userFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// A write never goes over the file itself (a new file takes its place), keeps a Latin-1 file
// in Latin-1 and the file's owner, leaves a file over a megabyte alone and says so; with
// TMPDIR naming a folder that is not there the value is prepared in the cache folder, never
// in the start folder, and with no folder to prepare it in the write says which folder failed.
void TstSettings::writesKeepTheFileItsEncodingAndItsOwner()
{
    const dw::SettingsStore store = dw::SettingsStore::program();
    writeFile(userFile(),
              "; ordenaci\xf3n del administrador\n[GridStyle]\ndw_listado_grid\\sortorder=nombre A\n");
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(QFile::encodeName(userFile()).constData(), 65534, 65534), 0);
    struct stat before
    {
    };
    QCOMPARE(::stat(QFile::encodeName(userFile()).constData(), &before), 0);
    QVERIFY(store.setText(u"GridStyle/dw_listado_grid/sortorder"_s, u"email D"_s));
    QCOMPARE(
        readFile(userFile()),
        QByteArray("; ordenaci\xf3n del administrador\n[GridStyle]\ndw_listado_grid\\sortorder=email D\n"));
    struct stat after
    {
    };
    QCOMPARE(::stat(QFile::encodeName(userFile()).constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    if (root)
        QCOMPARE(after.st_uid, uid_t(65534));
    // Letters beyond ASCII go in as escapes, so the file stays Latin-1 and reads back whole
    // (the reader takes every file as UTF-8); a hex digit after an escape is escaped too.
    const QString accented = u"Peña, José A; ñ1 😀b"_s;
    QVERIFY(store.setText(u"GridStyle/dw_listado_grid/sortorder"_s, accented));
    QCOMPARE(store.userText(u"GridStyle/dw_listado_grid/sortorder"_s), accented);
    QVERIFY(readFile(userFile()).startsWith("; ordenaci\xf3n del administrador\n"));
    QVERIFY(!QByteArrayView(readFile(userFile())).isValidUtf8());

    QByteArray huge("[GridStyle]\n");
    while (huge.size() <= 1024 * 1024) // just over the largest file rewritten
        huge += "; una línea de comentario que el administrador dejó aquí\n";
    writeFile(userFile(), huge);
    FakeInteraction fake;
    // Said once per file and session, and this file was said before.
    QVERIFY(!store.setText(u"GridStyle/dw_listado_grid/sortorder"_s, u"email A"_s));
    QCOMPARE(readFile(userFile()).size(), huge.size());

    QTemporaryDir start;
    const QString previousFolder = QDir::currentPath();
    const QByteArray previousTemporary = qgetenv("TMPDIR");
    const QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    const auto restore = qScopeGuard([&] {
        QDir::setCurrent(previousFolder);
        qputenv("TMPDIR", previousTemporary);
        qputenv("XDG_CACHE_HOME", previousCache);
    });
    QVERIFY(QDir::setCurrent(start.path()));
    qputenv("TMPDIR", "/carpeta/que/no/existe");
    const dw::SettingsStore other(u"Calvexa"_s, u"otra prueba"_s);
    QVERIFY(other.setText(u"Consultas/SegundosMaximos"_s, u"7"_s));
    QCOMPARE(other.text(u"Consultas/SegundosMaximos"_s), std::optional<QString>(u"7"_s));
    QCOMPARE(QDir(start.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(userFile()) + "/no-es-carpeta");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(u"no hay una carpeta temporal donde preparar el valor "
                                            u"\\(/carpeta/que/no/existe\\)"_s));
    QVERIFY(!other.setText(u"Consultas/SegundosMaximos"_s, u"8"_s));
    QCOMPARE(QDir(start.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(TstSettings)
#include "tst_settings.moc"
