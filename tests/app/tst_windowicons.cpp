// Every kind of window carries the program's icon: the search window, the three cards
// (shown in print preview) and the grid's dialogs. Offscreen the icon is checked on the
// widgets; on an X server (the second run CTest makes) also on the windows themselves,
// as the window system reads it (_NET_WM_ICON).

#include "datawindowcontrol.h"
#include "dw_listado.h"
#include "filterdialog.h"
#include "globals.h"
#include "sortdialog.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "w_consulta_externo.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Opener = std::function<QWidget *()>;

// The sizes of the icons the window system holds for a window ("64x64", ...); empty when
// it holds none. Read with xprop, as a desktop's task bar would read them.
QStringList iconSizesOnServer(const QWidget &window)
{
    QProcess xprop;
    xprop.start(u"xprop"_s, {u"-id"_s, QString::number(window.winId()), u"_NET_WM_ICON"_s});
    if (!xprop.waitForFinished(10000))
        return {u"xprop failed"_s};
    QStringList sizes;
    const QString output = QString::fromLocal8Bit(xprop.readAllStandardOutput());
    static const QRegularExpression icon(u"Icon \\((\\d+) x (\\d+)\\)"_s);
    for (auto match = icon.globalMatch(output); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        sizes.append(m.captured(1) + u'x' + m.captured(2));
    }
    return sizes;
}

} // namespace

class TstWindowIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        rt::CreateGlobals();
        QVERIFY(testsupport::connectSample(*rt::SQLCA()));
    }

    void cleanupTestCase()
    {
        delete g_w_busqueda;
        rt::DestroyGlobals();
    }

    void everyWindowShowsTheProgramIcon_data()
    {
        QTest::addColumn<Opener>("open");
        const auto search = [] {
            if (!g_w_busqueda)
                g_w_busqueda = new w_busqueda();
            return static_cast<QWidget *>(g_w_busqueda.data());
        };
        QTest::newRow("search window") << Opener(search);
        QTest::newRow("researcher card") << Opener(
            [] { return rt::OpenWithParm(g_w_consulta, double(testsupport::sample::kResearcher)); });
        QTest::newRow("external card") << Opener(
            [] { return rt::OpenWithParm(g_w_consulta_externo, double(testsupport::sample::kExternal)); });
        QTest::newRow("student card") << Opener(
            []() -> QWidget * { return rt::OpenWithParm(g_w_consulta_estudiante, u"Doctorado"_s); });
        QTest::newRow("sort dialog") << Opener([search]() -> QWidget * {
            auto *window = static_cast<w_busqueda *>(search());
            return new dw::SortDialog(window->dw_listado->model(), u"nombre A"_s, window);
        });
        QTest::newRow("filter dialog") << Opener([search]() -> QWidget * {
            auto *window = static_cast<w_busqueda *>(search());
            return new dw::FilterDialog(window->dw_listado->model(), u"id > 3"_s, window);
        });
    }

    void everyWindowShowsTheProgramIcon()
    {
        QFETCH(Opener, open);
        QPointer<QWidget> window = open();
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // The application's own icon, shared rather than copied per window.
        const QIcon program = QGuiApplication::windowIcon();
        QVERIFY(!program.isNull());
        QVERIFY(program.availableSizes().contains(QSize(64, 64)));
        QCOMPARE(window->windowIcon().cacheKey(), program.cacheKey());
        QVERIFY(window->windowHandle());
        QCOMPARE(window->windowHandle()->icon().cacheKey(), program.cacheKey());

        if (QGuiApplication::platformName() == u"xcb"_s) {
            const QStringList sizes = iconSizesOnServer(*window);
            QVERIFY2(sizes.contains(u"64x64"_s) && sizes.contains(u"16x16"_s), qPrintable(sizes.join(u' ')));
        }
        if (window != g_w_busqueda)
            window->close();
        delete window.data();
    }
};

QTEST_MAIN(TstWindowIcons)
#include "tst_windowicons.moc"
