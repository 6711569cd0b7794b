// The toolkit every service shares: text splitting and replacing, the settings store,
// the application's name, the window above a control, the creation events.

#include "application.h"
#include "n_svc_base.h"
#include "objectpainter.h"
#include "window.h"

#include <QGroupBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

// A service that files its settings one level lower, the way a descendant service
// prefixes its own key: only the three-argument versions are overridden, so the
// two-argument ones must reach them by dispatch.
class PrefixedService : public n_svc_base
{
public:
    using n_svc_base::of_getreg;
    using n_svc_base::of_setreg;
    int of_setreg(const QString &as_subkey, const QString &as_entry, const QString &as_value) override
    {
        return n_svc_base::of_setreg(prefixed(as_subkey), as_entry, as_value);
    }
    QString of_getreg(const QString &as_subkey, const QString &as_entry, const QString &as_default) override
    {
        return n_svc_base::of_getreg(prefixed(as_subkey), as_entry, as_default);
    }

private:
    static QString prefixed(const QString &subkey)
    {
        return subkey.isEmpty() ? u"Prefix"_s : u"Prefix\\"_s + subkey;
    }
};

class LifecycleService : public n_svc_base
{
public:
    explicit LifecycleService(QStringList &log) : m_log(log) {}
    void constructor() override { m_log.append(u"constructor"_s); }
    void destructor() override { m_log.append(u"destructor"_s); }

private:
    QStringList &m_log;
};

} // namespace

class TstSvcBase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void parseEmptiesTheArray();
    void replaceall_data();
    void replaceall();
    void syscolorIsRedInTheLowByte();
    void registryRoundTrip();
    void registryKeyPerSubkey();
    void twoArgumentRegistryCallsAreDispatched();
    void appnameIsCapitalised();
    void getwindowClimbsThroughContainers();
    void constructorAndDestructorReachTheDescendant();

private:
    QTemporaryDir m_config;
    TestApplication m_application;
    // The application's settings as the store files them, for checking the layout.
    [[nodiscard]] static QSettings appSettings() { return QSettings(u"Calvexa"_s, u"Zemparol"_s); }
};

void TstSvcBase::initTestCase()
{
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    m_application.appname = u"zemparol"_s;
}

void TstSvcBase::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("sort of two keys")
        << u"nombre A, institucion D"_s << u", "_s << QStringList{u"nombre A"_s, u"institucion D"_s};
    QTest::newRow("adjacent separators give an empty element")
        << u"a, , b"_s << u", "_s << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("trailing separator gives a last empty element")
        << u"a,b,"_s << u","_s << QStringList{u"a"_s, u"b"_s, u""_s};
    // The rest is trimmed before the next search, so a trailing ", " loses its blank
    // and is no longer a separator.
    QTest::newRow("trailing comma-blank stays with the last item")
        << u"a, b, "_s << u", "_s << QStringList{u"a"_s, u"b,"_s};
    QTest::newRow("commas without the blank are no separator")
        << u" a,b,c "_s << u", "_s << QStringList{u"a,b,c"_s};
    QTest::newRow("one character is skipped at a match, whatever the separator's length")
        << u"x::y"_s << u"::"_s << QStringList{u"x"_s, u":y"_s};
    QTest::newRow("only blanks are trimmed") << u"\ta ,\tb"_s << u","_s << QStringList{u"\ta"_s, u"\tb"_s};
    QTest::newRow("empty separator finds nothing") << u"abc"_s << QString() << QStringList{u"abc"_s};
}

void TstSvcBase::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, sep);
    QFETCH(QStringList, expected);
    n_svc_base service;
    QStringList array;
    QCOMPARE(service.of_parse(text, sep, array), long(expected.size()));
    QCOMPARE(array, expected);
}

void TstSvcBase::parseEmptiesTheArray()
{
    n_svc_base service;
    QStringList array{u"left"_s, u"over"_s};
    QCOMPARE(service.of_parse(QString(), u", "_s, array), 0L);
    QVERIFY(array.isEmpty());
    array = {u"left"_s};
    QCOMPARE(service.of_parse(u""_s, u", "_s, array), 0L);
    QVERIFY(array.isEmpty());
    array = {u"left"_s, u"over"_s, u"more"_s};
    QCOMPARE(service.of_parse(u"one"_s, u", "_s, array), 1L);
    QCOMPARE(array, QStringList{u"one"_s});
}

void TstSvcBase::replaceall_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replace");
    QTest::addColumn<QString>("expected");

    QTest::newRow("underscores to blanks")
        << u"linea_de_investigacion"_s << u"_"_s << u" "_s << u"linea de investigacion"_s;
    QTest::newRow("replacement containing the search text terminates")
        << u"banana"_s << u"a"_s << u"aa"_s << u"baanaanaa"_s;
    QTest::newRow("case-sensitive") << u"Alba"_s << u"a"_s << u"o"_s << u"Albo"_s;
    QTest::newRow("longer search than replacement") << u"a, b, c"_s << u", "_s << u";"_s << u"a;b;c"_s;
    QTest::newRow("replacement to nothing") << u"x--y--"_s << u"-"_s << u""_s << u"xy"_s;
    QTest::newRow("empty search changes nothing") << u"abc"_s << u""_s << u"x"_s << u"abc"_s;
    QTest::newRow("not found") << u"abc"_s << u"z"_s << u"x"_s << u"abc"_s;
}

void TstSvcBase::replaceall()
{
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(QString, replace);
    QFETCH(QString, expected);
    n_svc_base service;
    QCOMPARE(service.of_replaceall(text, find, replace), expected);
}

void TstSvcBase::syscolorIsRedInTheLowByte()
{
    n_svc_base service;
    for (int index : {5, 15, 16}) {
        const QColor color = dw::systemColor(index);
        const quint32 expected
            = quint32(color.red()) + 256u * quint32(color.green()) + 65536u * quint32(color.blue());
        QCOMPARE(service.of_syscolor(index), expected);
    }
}

void TstSvcBase::registryRoundTrip()
{
    n_svc_base service;
    QCOMPARE(service.of_getreg(u"never"_s, u"fallback"_s), u"fallback"_s);
    QCOMPARE(service.of_getreg(u"Some\\Key"_s, u"never"_s, u"fallback"_s), u"fallback"_s);

    QCOMPARE(service.of_setreg(u"entry"_s, u"value"_s), 1);
    QCOMPARE(service.of_getreg(u"entry"_s, u"fallback"_s), u"value"_s);

    // A stored empty text reads back as the default.
    QCOMPARE(service.of_setreg(u"entry"_s, u""_s), 1);
    QCOMPARE(service.of_getreg(u"entry"_s, u"fallback"_s), u"fallback"_s);
    QCOMPARE(appSettings().value(u"entry"_s, u"missing"_s).toString(), u""_s);

    // An empty sub-key writes directly in the application's key, below the company.
    QCOMPARE(service.of_setreg(u""_s, u"direct"_s, u"1"_s), 1);
    QCOMPARE(appSettings().value(u"direct"_s).toString(), u"1"_s);
    QCOMPARE(service.of_getreg(u"direct"_s, u"0"_s), u"1"_s);
}

void TstSvcBase::registryKeyPerSubkey()
{
    n_svc_base service;
    QCOMPARE(service.of_setreg(u"GridStyle\\dw_uno"_s, u"sortorder"_s, u"nombre A"_s), 1);
    QCOMPARE(service.of_setreg(u"GridStyle\\dw_dos"_s, u"sortorder"_s, u"email D"_s), 1);

    QCOMPARE(service.of_getreg(u"GridStyle\\dw_uno"_s, u"sortorder"_s, u""_s), u"nombre A"_s);
    QCOMPARE(service.of_getreg(u"GridStyle\\dw_dos"_s, u"sortorder"_s, u""_s), u"email D"_s);
    QCOMPARE(service.of_getreg(u"GridStyle\\dw_tres"_s, u"sortorder"_s, u"none"_s), u"none"_s);
    QCOMPARE(service.of_getreg(u"sortorder"_s, u"none"_s), u"none"_s);

    QSettings settings = appSettings();
    QCOMPARE(settings.value(u"GridStyle/dw_uno/sortorder"_s).toString(), u"nombre A"_s);
    QCOMPARE(settings.value(u"GridStyle/dw_dos/sortorder"_s).toString(), u"email D"_s);

    // Another company is another store.
    n_svc_base other;
    other.is_company = u"Otra"_s;
    QCOMPARE(other.of_getreg(u"GridStyle\\dw_uno"_s, u"sortorder"_s, u"none"_s), u"none"_s);
}

void TstSvcBase::twoArgumentRegistryCallsAreDispatched()
{
    PrefixedService service;
    QCOMPARE(service.of_setreg(u"dispatched"_s, u"yes"_s), 1);
    QCOMPARE(appSettings().value(u"Prefix/dispatched"_s).toString(), u"yes"_s);
    QVERIFY(!appSettings().contains(u"dispatched"_s));
    QCOMPARE(service.of_getreg(u"dispatched"_s, u"no"_s), u"yes"_s);

    n_svc_base &asBase = service;
    QCOMPARE(asBase.of_getreg(u"dispatched"_s, u"no"_s), u"yes"_s);
}

void TstSvcBase::appnameIsCapitalised()
{
    n_svc_base service;
    QCOMPARE(service.of_getappname(), u"Zemparol"_s);
    m_application.displayname = u"directorio DE la red"_s;
    QCOMPARE(service.of_getappname(), u"Directorio De La Red"_s);
    m_application.displayname.clear();
}

void TstSvcBase::getwindowClimbsThroughContainers()
{
    n_svc_base service;
    rt::Window window;
    QWidget onWindow(&window);
    QGroupBox container(&window);
    QWidget inner(&container);
    QWidget innermost(&inner);

    QCOMPARE(service.of_getwindow(&onWindow), &window);
    QCOMPARE(service.of_getwindow(&innermost), &window);
    // The walk starts at the parent, never at the object itself.
    QCOMPARE(service.of_getwindow(&window), nullptr);
    QWidget orphan;
    QCOMPARE(service.of_getwindow(&orphan), nullptr);
    QCOMPARE(service.of_getwindow(nullptr), nullptr);
}

void TstSvcBase::constructorAndDestructorReachTheDescendant()
{
    QStringList log;
    auto service = n_svc_base::create<LifecycleService>(log);
    QCOMPARE(log, QStringList{u"constructor"_s});
    service.reset();
    QCOMPARE(log, (QStringList{u"constructor"_s, u"destructor"_s}));
}

QTEST_MAIN(TstSvcBase)
#include "tst_svcbase.moc"
