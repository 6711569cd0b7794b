// Rows of a retrieved data window: current row, selection, sort and filter calls with
// their dialogs and their refusals.

#include "datawindow.h"
#include "db/transaction.h"
#include "modelfixture.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

std::vector<qint64> ids(const dw::DataWindow &dw)
{
    std::vector<qint64> result;
    for (long row = 1; row <= dw.RowCount(); ++row)
        result.push_back(qint64(dw.GetItemNumber(row, u"id"_s).value_or(-1)));
    return result;
}

} // namespace

class tst_DataWindowRows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void currentRowAndSelection();
    void sortCalls();
    void emptySortIsRetrievalOrder();
    void filterCalls();
    void sortsFollowNewRowsAndNewDisplays();
    void sortsPreparedAfterRetrievalMatchSortsMadeOnDemand();
    void badCriteriaChangeNothing_data();
    void badCriteriaChangeNothing();
    void selfDoublingFilterStopsWithAnError();

private:
    dw::Transaction m_sqlca;
    std::unique_ptr<dw::DataWindow> m_dw;
    std::vector<qint64> m_retrieved;
};

void tst_DataWindowRows::initTestCase()
{
    QVERIFY(testsupport::connectSample(m_sqlca));
}

void tst_DataWindowRows::init()
{
    m_dw = std::make_unique<dw::DataWindow>();
    QVERIFY(m_dw->setDataObject(u"dw_listado_grid"_s));
    m_dw->SetTransObject(&m_sqlca);
    QVERIFY(m_dw->Retrieve() > 10);
    m_retrieved = ids(*m_dw);
}

void tst_DataWindowRows::currentRowAndSelection()
{
    RecordingObserver observer(*m_dw);
    const long n = m_dw->RowCount();
    QCOMPARE(m_dw->SetRow(0), -1);
    QCOMPARE(m_dw->SetRow(n + 1), -1);
    QCOMPARE(m_dw->GetRow(), 1);
    QCOMPARE(m_dw->SetRow(n), 1);
    QCOMPARE(m_dw->GetRow(), n);
    QVERIFY(observer.rowChanges > 0);

    QCOMPARE(m_dw->SelectRow(3, true), 1);
    QCOMPARE(m_dw->SelectRow(5, true), 1);
    QCOMPARE(m_dw->SelectRow(n + 1, true), -1);
    QCOMPARE(m_dw->SelectRow(-1, true), -1);
    QVERIFY(m_dw->IsSelected(3) && m_dw->IsSelected(5) && !m_dw->IsSelected(4));
    QVERIFY(!m_dw->IsSelected(0) && !m_dw->IsSelected(n + 1));

    // Flags follow their rows through a sort.
    const qint64 third = m_retrieved[2];
    QCOMPARE(m_dw->SetSort(u"id D"_s), 1);
    QCOMPARE(m_dw->Sort(), 1);
    const auto sorted = ids(*m_dw);
    const long moved = long(std::find(sorted.begin(), sorted.end(), third) - sorted.begin()) + 1;
    QVERIFY(m_dw->IsSelected(moved));

    QCOMPARE(m_dw->SelectRow(0, false), 1);
    for (long row = 1; row <= n; ++row)
        QVERIFY(!m_dw->IsSelected(row));
    QCOMPARE(m_dw->SelectRow(0, true), 1);
    QVERIFY(m_dw->IsSelected(1) && m_dw->IsSelected(n));
}

void tst_DataWindowRows::sortCalls()
{
    FakeInteraction fake;
    QCOMPARE(m_dw->SetSort(u"nombre d, id"_s), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"nombre D, id A"_s);
    QCOMPARE(fake.sortCalls, 0);

    // A null text asks the user; a confirmed choice becomes the criteria.
    fake.sortCriteria = u"id A"_s;
    QCOMPARE(m_dw->SetSort(QString()), 1);
    QCOMPARE(fake.sortCalls, 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"id A"_s);
    QCOMPARE(m_dw->Sort(), 1);
    auto ascending = ids(*m_dw);
    QVERIFY(std::is_sorted(ascending.begin(), ascending.end()));

    // Cancelled: nothing changes.
    fake.sortResult = 0;
    fake.sortCriteria = u"nombre A"_s;
    QCOMPARE(m_dw->SetSort(QString()), 0);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"id A"_s);

    // Confirmed with criteria that do not read: refused, nothing changes.
    fake.sortResult = 1;
    fake.sortCriteria = u"no such column A"_s;
    QCOMPARE(m_dw->SetSort(QString()), -1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), u"id A"_s);

    // The criteria in force apply again to the next retrieval.
    QCOMPARE(m_dw->SetSort(u"id D"_s), 1);
    QVERIFY(m_dw->Retrieve() > 0);
    const auto descending = ids(*m_dw);
    QVERIFY(std::is_sorted(descending.rbegin(), descending.rend()));
}

void tst_DataWindowRows::emptySortIsRetrievalOrder()
{
    FakeInteraction fake;
    QCOMPARE(m_dw->SetSort(u"nombre A"_s), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QVERIFY(ids(*m_dw) != m_retrieved);
    // What Describe answers with no criteria goes back into SetSort as "no sort".
    QCOMPARE(m_dw->SetSort(u""_s), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort"_s), QString());
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(ids(*m_dw), m_retrieved);
    QCOMPARE(fake.sortCalls, 0);
}

void tst_DataWindowRows::filterCalls()
{
    FakeInteraction fake;
    const long all = m_dw->RowCount();
    const QString cta = u"( string(tipo_miembro_red) = \"Miembro del CTA\" )"_s;
    QCOMPARE(m_dw->SetFilter(cta), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), cta);
    QCOMPARE(m_dw->Filter(), 1);
    QVERIFY(m_dw->RowCount() > 0 && m_dw->RowCount() < all);
    QCOMPARE(m_dw->RowCount() + m_dw->FilteredCount(), all);
    for (long row = 1; row <= m_dw->RowCount(); ++row)
        QCOMPARE(m_dw->GetItemString(row, u"tipo_miembro_red"_s), u"Miembro del CTA"_s);
    QVERIFY(m_dw->GetRow() >= 1 && m_dw->GetRow() <= m_dw->RowCount());

    // Through the dialog.
    fake.filterExpression = u"id < 0"_s;
    QCOMPARE(m_dw->SetFilter(QString()), 1);
    QCOMPARE(fake.filterCalls, 1);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(m_dw->RowCount(), 0);
    QCOMPARE(m_dw->GetRow(), 0);

    // Removing the filter brings every row back.
    QCOMPARE(m_dw->SetFilter(u""_s), 1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Filter"_s), u"?"_s);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(m_dw->RowCount(), all);
    QCOMPARE(m_dw->FilteredCount(), 0);
    auto back = ids(*m_dw);
    std::sort(back.begin(), back.end());
    auto original = m_retrieved;
    std::sort(original.begin(), original.end());
    QCOMPARE(back, original);
    QCOMPARE(fake.filterCalls, 1);
}

// Sorts reuse what earlier sorts learnt only while the rows and what they display stay
// the same: after another retrieval, or a new code table, a data window with a history
// of sorts and filters orders its rows exactly like one that sorts them for the first time.
void tst_DataWindowRows::sortsFollowNewRowsAndNewDisplays()
{
    const QString criteria = u"nombre A, id A"_s; // id makes the order total
    const auto sortedFresh = [&](const std::function<QString(const QString &)> &rewrite) {
        dw::DataWindow fresh;
        (void)fresh.setDataObject(u"dw_listado_grid"_s);
        RecordingObserver observer(fresh);
        observer.rewrite = rewrite;
        fresh.SetTransObject(&m_sqlca);
        (void)fresh.Retrieve();
        (void)fresh.SetSort(criteria);
        (void)fresh.Sort();
        return ids(fresh);
    };

    RecordingObserver observer(*m_dw);
    QCOMPARE(m_dw->SetSort(u"tipo_miembro_red D"_s), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->SetSort(criteria), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->SetFilter(u"id > 5"_s), 1);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->SetFilter(u""_s), 1);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(ids(*m_dw), sortedFresh({}));

    // Another retrieval brings other rows under the same store indexes.
    const auto students = [](const QString &sql) {
        return sql + u" where directorio.tipo_miembro_red = 'Miembro Estudiante'"_s;
    };
    observer.rewrite = students;
    QVERIFY(m_dw->Retrieve() > 1);
    QCOMPARE(m_dw->Sort(), 1);
    const auto expected = sortedFresh(students);
    QVERIFY(expected.size() < m_retrieved.size());
    QCOMPARE(ids(*m_dw), expected);

    // A code table changes what a column shows, and so the order of its displayed text.
    const QString codes = u"tipo_miembro_red.Edit.CodeTable=yes "
                          "tipo_miembro_red.Values='Zeta~tMiembro Estudiante/Alfa~tMiembro del CTA/'"_s;
    observer.rewrite = {};
    QVERIFY(m_dw->Retrieve() > 0);
    QCOMPARE(m_dw->SetSort(u"LookUpDisplay(tipo_miembro_red) A, id A"_s), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->Modify(codes), QString());
    QCOMPARE(m_dw->Sort(), 1);
    dw::DataWindow fresh;
    QVERIFY(fresh.setDataObject(u"dw_listado_grid"_s));
    fresh.SetTransObject(&m_sqlca);
    QCOMPARE(fresh.Modify(codes), QString());
    QVERIFY(fresh.Retrieve() > 0);
    QCOMPARE(fresh.SetSort(u"LookUpDisplay(tipo_miembro_red) A, id A"_s), 1);
    QCOMPARE(fresh.Sort(), 1);
    QCOMPARE(ids(*m_dw), ids(fresh));
    QCOMPARE(m_dw->displayText(m_dw->RowCount(), 2), u"Zeta"_s);
}

// After each retrieval a second thread ranks the shown columns; a sort right away, one
// after a retrieval that stopped it half-way, and one after it finished all order the rows
// as an expression of the same column, which is always ranked afresh. Changing the layout
// keeps the ranks of stored values.
void tst_DataWindowRows::sortsPreparedAfterRetrievalMatchSortsMadeOnDemand()
{
    const auto sortedBy = [&](const QString &criteria) {
        (void)m_dw->SetSort(criteria);
        (void)m_dw->Sort();
        return ids(*m_dw);
    };
    const QStringList columns{u"nombre"_s, u"institucion"_s, u"email"_s, u"nivel_sni"_s, u"id"_s};
    for (int round = 0; round < 3; ++round) {
        QVERIFY(m_dw->Retrieve() > 10);
        if (round == 1)
            QVERIFY(m_dw->Retrieve() > 10); // the first retrieval's ranking is cut short
        if (round == 2)
            m_dw->finishPreparingSorts();
        for (const QString &column : columns) {
            const auto prepared = sortedBy(column + u" D, id A"_s);
            const auto fresh = sortedBy(u"string("_s + column + u") D, id A"_s);
            if (column == u"id"_s)
                QCOMPARE(prepared, sortedBy(u"0 - id A"_s));
            else
                QCOMPARE(prepared, fresh);
        }
    }
    const std::size_t kept = m_dw->rowMemoryBytes();
    QCOMPARE(m_dw->Modify(u"create text(band=header name=nombre_arrow text=\"t\" x=\"0\" y=\"0\")"_s),
             QString());
    QCOMPARE(m_dw->rowMemoryBytes(), kept);
}

void tst_DataWindowRows::badCriteriaChangeNothing_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("filter");
    QTest::newRow("unknown column") << u"nosuch A"_s << u"nosuch = 1"_s;
    QTest::newRow("garbage") << u")( A"_s << u"= = ="_s;
    QTest::newRow("unterminated") << u"\"abc A"_s << u"nombre = \"abc"_s;
    QTest::newRow("dangling comma") << u"nombre A,"_s << u"nombre = "_s;
    QTest::newRow("direction only") << u"A"_s << u"(nombre = 'x'"_s;
}

void tst_DataWindowRows::badCriteriaChangeNothing()
{
    QFETCH(QString, sort);
    QFETCH(QString, filter);
    FakeInteraction fake;
    QCOMPARE(m_dw->SetSort(u"id D"_s), 1);
    QCOMPARE(m_dw->SetFilter(u"id > 0"_s), 1);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->Filter(), 1);
    const auto before = ids(*m_dw);

    QCOMPARE(m_dw->SetSort(sort), -1);
    QCOMPARE(m_dw->SetFilter(filter), -1);
    QCOMPARE(m_dw->Describe(u"DataWindow.Table.Sort DataWindow.Table.Filter"_s), u"id D\nid > 0"_s);
    QCOMPARE(m_dw->Sort(), 1);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(ids(*m_dw), before);
    QCOMPARE(fake.sortCalls + fake.filterCalls, 0);
    QVERIFY(fake.boxes.isEmpty());
}

void tst_DataWindowRows::selfDoublingFilterStopsWithAnError()
{
    // Each level evaluates the filter itself twice: the nesting limit alone leaves 2^32
    // evaluations, the budget stops it.
    FakeInteraction fake;
    const QString twice = u"Evaluate(Describe(\"datawindow.table.filter\"), 1)"_s;
    QCOMPARE(m_dw->SetFilter(twice + u" & "_s + twice + u" = \"x\""_s), 1);
    QCOMPARE(m_dw->Filter(), -1);
    QCOMPARE(fake.boxes.size(), 1);
    QCOMPARE(fake.boxes[0].title, u"Error de filtro"_s);
    QVERIFY(fake.boxes[0].text.contains(u"límite"_s));
    QCOMPARE(ids(*m_dw), m_retrieved);
    QCOMPARE(m_dw->Describe(u"Evaluate('"_s + twice + u"', 1)"_s), u"!"_s);

    // The window stays usable: the next filter works.
    QCOMPARE(m_dw->SetFilter(u"id < 3"_s), 1);
    QCOMPARE(m_dw->Filter(), 1);
    QCOMPARE(m_dw->RowCount(), 2);
    QCOMPARE(fake.boxes.size(), 1);
}

QTEST_MAIN(tst_DataWindowRows)
#include "tst_datawindowrows.moc"
