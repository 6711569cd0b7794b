#include "application.h"
#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "globals.h"
#include "message.h"
#include "readingfeedback.h"
#include "registry.h"
#include "runtime.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "units.h"
#include "window.h"
#include "windowplacement.h"

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace {

// Counts the constructor events of its data window controls.
class RecordingControl : public dw::DataWindowControl
{
public:
    RecordingControl(QStringList &log, const QString &name, QWidget *parent)
        : dw::DataWindowControl(parent)
        , m_log(log)
        , m_name(name)
    {}
    void constructor() override { m_log.append(m_name); }

private:
    QStringList &m_log;
    QString m_name;
};

class ProbeWindow : public rt::Window
{
    Q_OBJECT
public:
    static inline QStringList constructed;
    QStringList parameters;
    std::vector<std::tuple<quint32, int, int>> resizes;

    ProbeWindow()
    {
        setTitle(QStringLiteral("Probe"));
        setUnitsSize(3200, 800, true);
        auto *outer = new RecordingControl(constructed, QStringLiteral("first"), this);
        auto *frame = new QWidget(this);
        new RecordingControl(constructed, QStringLiteral("nested"), frame);
        new RecordingControl(constructed, QStringLiteral("last"), this);
        Q_UNUSED(outer);
        createControls();
    }
    void open() override
    {
        const rt::MessageObject &message = rt::Message();
        parameters.append(message.hasString ? message.StringParm : QString::number(message.DoubleParm));
    }
    long resize(quint32 sizetype, int w, int h) override
    {
        resizes.emplace_back(sizetype, w, h);
        return 0;
    }

public slots:
    long ue_event(const QString &text, long number)
    {
        received = text + QString::number(number);
        return 1;
    }

public:
    QString received;
};

// A listing whose statement first counts to a million: it runs for a while before its
// first row, as a search through a large directory does.
class SlowListing : public dw::DataWindowControl
{
public:
    using dw::DataWindowControl::DataWindowControl;
    long sqlpreview(int, int, const QString &sqlsyntax, int, long) override
    {
        SetSQLPreview(
            sqlsyntax
            + QStringLiteral(" where (with recursive n(i) as (select 1 union all select i + 1 from n "
                             "where i < 1000000) select count(*) from n) > 0"));
        return 0;
    }
};

// Remembers what the window looked like while its listing said it was reading.
class ReadingWindow : public rt::Window
{
public:
    SlowListing *listing = new SlowListing(this);
    QStringList titles;
    QList<Qt::CursorShape> cursors;
    int paintsWhileReading = 0;
    bool reading = false;

    ReadingWindow()
    {
        setTitle(QStringLiteral("Consulta"));
        setUnitsSize(3200, 800, true);
        createControls();
        connect(listing, &dw::DataWindowControl::readingChanged, this, [this](bool on) {
            reading = on;
            titles.append(windowTitle());
            // The window's own: a dialog opened meanwhile keeps the ordinary cursor.
            cursors.append(QGuiApplication::overrideCursor() ? Qt::WaitCursor : cursor().shape());
            update(); // a paint that is due while the rows are read
        });
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        paintsWhileReading += reading ? 1 : 0;
        rt::Window::paintEvent(event);
    }
};

// An application that notes its events and shows a window when given one.
class ProbeApplication final : public rt::Application
{
public:
    QStringList events;
    QWidget *window = nullptr;
    void create() override { events.append(QStringLiteral("create")); }
    void open(const QString &commandline) override
    {
        events.append(QStringLiteral("open ") + commandline);
        if (window)
            window->show();
    }
    void destroy() override { events.append(QStringLiteral("destroy")); }
};

} // namespace

class RuntimeTest : public QObject
{
    Q_OBJECT
private slots:
    // A start that shows no window ends at once instead of waiting in an event loop no
    // window is left to end; one that shows a window runs until the loop is ended.
    void applicationRunsWhileAWindowShows()
    {
        for (const QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY(!widget->isVisible());
        bool looped = false;
        QTimer ending;
        ending.setSingleShot(true);
        ending.callOnTimeout([&] {
            looped = true;
            QCoreApplication::exit(7);
        });
        ending.start(0);

        ProbeApplication quiet;
        QCOMPARE(quiet.run(QStringLiteral("/srv/red")), 0);
        QVERIFY(!looped);
        QCOMPARE(quiet.events,
                 (QStringList{QStringLiteral("create"), QStringLiteral("open /srv/red"),
                              QStringLiteral("destroy")}));

        ProbeApplication shown;
        QWidget window;
        shown.window = &window;
        QCOMPARE(shown.run(QString()), 7);
        QVERIFY(looped);
        QCOMPARE(shown.events.size(), 3);
    }

    void registryRoundTrip()
    {
        const QString key
            = QStringLiteral("HKEY_CURRENT_USER\\Software\\Calvexa\\zemparol\\GridStyle\\dw_listado_grid");
        QCOMPARE(rt::RegistrySet(key, QStringLiteral("sortorder"), QStringLiteral("nombre A, id D")), 1);
        QString value = QStringLiteral("unchanged");
        QCOMPARE(rt::RegistryGet(key, QStringLiteral("sortorder"), value), 1);
        QCOMPARE(value, QStringLiteral("nombre A, id D"));

        // The key path below the application is a path of nested groups of that store, whose
        // name, as a registry key's, does not depend on letter case.
        QSettings settings(QStringLiteral("Calvexa"), QStringLiteral("Zemparol"));
        QCOMPARE(settings.value(QStringLiteral("GridStyle/dw_listado_grid/sortorder")).toString(),
                 QStringLiteral("nombre A, id D"));
        QVERIFY(settings.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));

        // Missing values and keys leave the variable as it was.
        value = QStringLiteral("unchanged");
        QCOMPARE(rt::RegistryGet(key, QStringLiteral("absent"), value), -1);
        QCOMPARE(rt::RegistryGet(key + QStringLiteral("\\Other"), QStringLiteral("sortorder"), value), -1);
        QCOMPARE(value, QStringLiteral("unchanged"));

        // Another hive or a path without company and application is refused.
        QCOMPARE(rt::RegistrySet(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Calvexa\\zemparol"),
                                 QStringLiteral("x"), QStringLiteral("y")),
                 -1);
        QCOMPARE(rt::RegistrySet(QStringLiteral("HKEY_CURRENT_USER\\Software\\Calvexa"), QStringLiteral("x"),
                                 QStringLiteral("y")),
                 -1);
    }

    // A stored place is read back only as this program writes it.
    void storedPlacements_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QRect>("normal");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("normal") << QStringLiteral("120,-40,900,600") << true << QRect(120, -40, 900, 600)
                                << false;
        QTest::newRow("maximised") << QStringLiteral("0,0,800,500,maximized") << true << QRect(0, 0, 800, 500)
                                   << true;
        QTest::newRow("another word") << QStringLiteral("0,0,800,500,minimized") << false << QRect() << false;
        QTest::newRow("no size") << QStringLiteral("10,10,0,500") << false << QRect() << false;
        QTest::newRow("saved geometry of old")
            << QStringLiteral("AdnQywADAAAAAAAAAAAAAAAAA") << false << QRect() << false;
        QTest::newRow("too long") << QStringLiteral("1,2,300,200") + QString(80, QLatin1Char(' ')) << false
                                  << QRect() << false;
    }

    void storedPlacements()
    {
        QFETCH(QString, stored);
        QFETCH(bool, read);
        QFETCH(QRect, normal);
        QFETCH(bool, maximized);
        const std::optional<rt::Placement> placement = rt::parsePlacement(stored);
        QCOMPARE(placement.has_value(), read);
        if (!placement)
            return;
        QCOMPARE(placement->normal, normal);
        QCOMPARE(placement->maximized, maximized);
        QCOMPARE(rt::parsePlacement(rt::placementText(*placement))->normal, normal);
    }

    // A laptop's screen at the left, a second one at its right, taller and higher.
    void placeReachableOnScreens_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("on the first") << QRect(100, 100, 800, 600) << true;
        QTest::newRow("across both") << QRect(1500, 200, 800, 600) << true;
        QTest::newRow("mostly off to the right") << QRect(3100, 300, 800, 600) << true;
        QTest::newRow("where a third screen was") << QRect(3300, 300, 800, 600) << false;
        QTest::newRow("title bar above the top") << QRect(200, -20, 800, 600) << false;
        QTest::newRow("only a corner shows") << QRect(-770, 500, 800, 600) << false;
    }

    void placeReachableOnScreens()
    {
        QFETCH(QRect, frame);
        QFETCH(bool, reachable);
        const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, -200, 1280, 1024)};
        QCOMPARE(rt::reachable(frame, screens), reachable);
    }

    void triggerEvent()
    {
        ProbeWindow window;
        // Arguments are converted to the types the handler declares.
        QVERIFY(rt::TriggerEvent(&window, "ue_event", {QStringLiteral("n="), 7}));
        QCOMPARE(window.received, QStringLiteral("n=7"));
        QVERIFY(rt::TriggerEvent(&window, "ue_event", {QStringLiteral("m="), QStringLiteral("12")}));
        QCOMPARE(window.received, QStringLiteral("m=12"));
        // No such event, or not with that many arguments: nothing happens, no error.
        QVERIFY(!rt::TriggerEvent(&window, "ue_missing"));
        QVERIFY(!rt::TriggerEvent(&window, "ue_event", {QStringLiteral("only one")}));
        QVERIFY(!rt::TriggerEvent(nullptr, "ue_event"));
        QCOMPARE(window.received, QStringLiteral("m=12"));
    }

    void wordCapAndMessageBox()
    {
        QCOMPARE(rt::WordCap(QStringLiteral("zemparol")), QStringLiteral("Zemparol"));
        QCOMPARE(rt::WordCap(QStringLiteral("LÍNEA de x")), QStringLiteral("Línea De X"));
        QCOMPARE(rt::WordCap(QStringLiteral("o'farrill-baeza  ñandú")),
                 QStringLiteral("O'Farrill-Baeza  Ñandú"));

        FakeInteraction fake;
        rt::MessageBox(QStringLiteral("Título"), QStringLiteral("Texto"));
        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.boxes.first().title, QStringLiteral("Título"));
        fake.ctrl = true;
        QVERIFY(rt::KeyDown(17));
        QVERIFY(!rt::KeyDown(16));
    }

    void windowSizesControlsAndEvents()
    {
        ProbeWindow::constructed.clear();
        QPointer<ProbeWindow> reference;
        ProbeWindow *window = rt::OpenWithParm(reference, 42.0);
        QVERIFY(window && reference == window);
        QCOMPARE(ProbeWindow::constructed,
                 QStringList({QStringLiteral("first"), QStringLiteral("nested"), QStringLiteral("last")}));
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(window->isVisible());
        // 3200 x 800 units at 96 dpi are 700 x 200 pixels.
        QCOMPARE(window->size(), QSize(700, 200));
        QCOMPARE(window->parameters, QStringList{QStringLiteral("42")});

        // The resize event reports the new size in layout units.
        window->QWidget::resize(QSize(350, 100));
        QTRY_VERIFY(!window->resizes.empty());
        QCOMPARE(window->resizes.back(), std::make_tuple(quint32(0), 1600, 400));

        // A second open of the open class shows the new parameter in the same window.
        QCOMPARE(rt::OpenWithParm(reference, QStringLiteral("Maestría")), window);
        QCOMPARE(window->parameters, QStringList({QStringLiteral("42"), QStringLiteral("Maestría")}));

        rt::Close(*window);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(reference.isNull());
        // Once closed, the next open makes a new window.
        ProbeWindow *again = rt::OpenWithParm(reference, 1.0);
        QVERIFY(again);
        QCOMPARE(again->parameters, QStringList{QStringLiteral("1")});
        rt::Close(*again);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A long retrieval shows the busy cursor over its window, says "Leyendo…" where the window says
    // things, and lets the window paint; afterwards everything is as it was.
    void longRetrievalSaysItIsReading()
    {
        dw::Transaction sqlca;
        QVERIFY(testsupport::connectSample(sqlca));
        ReadingWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.listing->setDataObject(QStringLiteral("dw_listado_grid"));
        window.listing->SetTransObject(&sqlca);

        dw::ReadingFeedback::setDelay(0); // this retrieval is long for the machine, not for a person
        const long rows = window.listing->Retrieve();
        dw::ReadingFeedback::setDelay(500);
        QVERIFY(rows > 10);
        // Once when it starts to show, once when it ends.
        QCOMPARE(window.titles, QStringList({QStringLiteral("Leyendo…"), QStringLiteral("Consulta")}));
        QCOMPARE(window.cursors, QList<Qt::CursorShape>({Qt::BusyCursor, Qt::ArrowCursor}));
        QVERIFY(window.paintsWhileReading > 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(window.listing->RowCount(), rows);
    }

    void globalsOwnTheTransaction()
    {
        QVERIFY(rt::SQLCA() == nullptr);
        rt::CreateGlobals();
        QVERIFY(rt::SQLCA() != nullptr);
        rt::Message().StringParm = QStringLiteral("x");
        rt::DestroyGlobals();
        QVERIFY(rt::SQLCA() == nullptr);
        rt::CreateGlobals();
        QVERIFY(rt::Message().StringParm.isEmpty()); // a fresh message object
        rt::DestroyGlobals();
    }
};

QTEST_MAIN(RuntimeTest)
#include "tst_runtime.moc"
