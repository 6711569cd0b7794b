// The service-aware control: which service a name starts, and which of the control's
// events reach which service, in which order.

#include "db/transaction.h"
#include "globals.h"
#include "n_svc_dw_gridstyle.h"
#include "n_svc_dw_selectrow.h"
#include "u_dw.h"

#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Both recording services write to one log, so the order across services shows.
template <class Service> class Recording : public Service
{
public:
    Recording(QString name, QStringList &log) : m_name(std::move(name)), m_log(log) {}

    long clicked(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"clicked"_s, {x, y, row}, dwo.name);
    }
    long doubleclicked(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"doubleclicked"_s, {x, y, row}, dwo.name);
    }
    long rbuttondown(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"rbuttondown"_s, {x, y, row}, dwo.name);
    }
    long mousemove(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"mousemove"_s, {x, y, row}, dwo.name);
    }
    long rowfocuschanged(long row) override { return note(u"rowfocuschanged"_s, {row}); }
    long retrieveend(long count) override { return note(u"retrieveend"_s, {count}); }
    long resize(quint32 type, int w, int h) override { return note(u"resize"_s, {type, w, h}); }
    long other(quint32 wparam, qint64 lparam) override { return note(u"other"_s, {wparam, lparam}); }

private:
    long note(const QString &event, std::initializer_list<qint64> numbers, const QString &dwo = {})
    {
        QStringList texts;
        for (qint64 number : numbers)
            texts.append(QString::number(number));
        if (!dwo.isEmpty())
            texts.append(dwo);
        m_log.append(m_name + u'.' + event + u'(' + texts.join(u',') + u')');
        return 99; // the control must not care
    }
    QString m_name;
    QStringList &m_log;
};

// A control whose services record what reaches them, started by name as any other.
class RecordingControl : public u_dw
{
public:
    explicit RecordingControl(QStringList &log) : m_log(log) {}

protected:
    n_svc_base::Ptr<n_svc_dw_gridstyle> createGridstyle() override
    {
        return n_svc_base::create<Recording<n_svc_dw_gridstyle>>(u"grid"_s, m_log);
    }
    n_svc_base::Ptr<n_svc_dw_selectrow> createSelect() override
    {
        return n_svc_base::create<Recording<n_svc_dw_selectrow>>(u"select"_s, m_log);
    }

private:
    QStringList &m_log;
};

// Raises every event the control knows once, with recognisable arguments.
void raiseEveryEvent(u_dw &control)
{
    dw::DwObjectRef dwo;
    dwo.name = u"nombre"_s;
    control.clicked(1, 2, 3, dwo);
    control.doubleclicked(4, 5, 6, dwo);
    control.rbuttondown(7, 8, 9, dwo);
    control.mousemove(10, 11, 12, dwo);
    control.rowfocuschanged(13);
    control.retrieveend(14);
    control.resize(0u, 15, 16);
    control.other(17u, 18);
}

} // namespace

class TstUdw : public QObject
{
    Q_OBJECT

private slots:
    void startserviceMatchesNamesInAnyCase();
    void repeatedStartReplacesTheService();
    void eventsReachTheirServicesInOrder();
    void nothingIsForwardedWithoutServices();
    void constructorBindsTheDefaultTransaction();
};

void TstUdw::startserviceMatchesNamesInAnyCase()
{
    u_dw control;
    QVERIFY(!control.of_startservice(u"sort"_s));
    QVERIFY(!control.of_startservice(QString()));
    QVERIFY(!control.of_startservice(u"grid style"_s));
    QVERIFY(!control.of_startservice(u""_s));
    QVERIFY(!control.isrv_gridstyle());
    QVERIFY(!control.isrv_select());

    QVERIFY(control.of_startservice(u"Select"_s));
    QVERIFY(control.isrv_select());
    QVERIFY(!control.isrv_gridstyle());
    QCOMPARE(control.isrv_select()->idw_client, &control);

    QVERIFY(control.of_startservice(u"GRIDSTYLE"_s));
    QVERIFY(control.isrv_gridstyle());
    QCOMPARE(control.isrv_gridstyle()->idw_client, &control);
}

void TstUdw::repeatedStartReplacesTheService()
{
    u_dw control;
    QVERIFY(control.of_startservice(u"select"_s));
    QPointer<n_svc_dw_selectrow> first = control.isrv_select();
    first->of_setselectstyle(u"extend"_s);

    QVERIFY(control.of_startservice(u"sElEcT"_s));
    // The first service is gone, so no event can reach it; the new one starts afresh.
    QVERIFY(first.isNull());
    QVERIFY(control.isrv_select());
    QCOMPARE(control.isrv_select()->is_style, u""_s);
    QCOMPARE(control.isrv_select()->idw_client, &control);

    QVERIFY(control.of_startservice(u"gridstyle"_s));
    QPointer<n_svc_dw_gridstyle> grid = control.isrv_gridstyle();
    QVERIFY(control.of_startservice(u"gridstyle"_s));
    QVERIFY(grid.isNull());
    QVERIFY(control.isrv_gridstyle());
}

void TstUdw::eventsReachTheirServicesInOrder()
{
    QStringList log;

    // Only the selection service: the grid style's events go nowhere.
    RecordingControl selecting(log);
    QVERIFY(selecting.of_startservice(u"select"_s));
    raiseEveryEvent(selecting);
    QCOMPARE(log,
             (QStringList{u"select.clicked(1,2,3,nombre)"_s, u"select.doubleclicked(4,5,6,nombre)"_s,
                          u"select.rowfocuschanged(13)"_s}));

    // Only the grid style service.
    log.clear();
    RecordingControl styled(log);
    QVERIFY(styled.of_startservice(u"gridstyle"_s));
    raiseEveryEvent(styled);
    QCOMPARE(log,
             (QStringList{u"grid.clicked(1,2,3,nombre)"_s, u"grid.rbuttondown(7,8,9,nombre)"_s,
                          u"grid.mousemove(10,11,12,nombre)"_s, u"grid.retrieveend(14)"_s,
                          u"grid.resize(0,15,16)"_s, u"grid.other(17,18)"_s}));

    // Both: one click runs the grid style completely before the selection.
    log.clear();
    QVERIFY(styled.of_startservice(u"select"_s));
    raiseEveryEvent(styled);
    QCOMPARE(log,
             (QStringList{u"grid.clicked(1,2,3,nombre)"_s, u"select.clicked(1,2,3,nombre)"_s,
                          u"select.doubleclicked(4,5,6,nombre)"_s, u"grid.rbuttondown(7,8,9,nombre)"_s,
                          u"grid.mousemove(10,11,12,nombre)"_s, u"select.rowfocuschanged(13)"_s,
                          u"grid.retrieveend(14)"_s, u"grid.resize(0,15,16)"_s, u"grid.other(17,18)"_s}));
}

void TstUdw::nothingIsForwardedWithoutServices()
{
    u_dw control;
    raiseEveryEvent(control);
    QVERIFY(!control.isrv_gridstyle());
    QVERIFY(!control.isrv_select());
}

void TstUdw::constructorBindsTheDefaultTransaction()
{
    rt::CreateGlobals();
    QVERIFY(rt::SQLCA());
    u_dw control;
    QCOMPARE(control.model().transObject(), nullptr);
    control.constructor();
    QCOMPARE(control.model().transObject(), rt::SQLCA());
    rt::DestroyGlobals();
}

QTEST_MAIN(TstUdw)
#include "tst_udw.moc"
