// The listing from the keyboard, on an offscreen grid of the sample directory: Ctrl+C
// and Ctrl+Insert copy rows as the grid shows them, Ctrl+A selects every row as the row
// selection allows, Ctrl+Enter double-clicks the current row, Shift+F10 and the Menu key
// open the context menu for the current row and column, and the current row is framed
// only while the grid has the focus.

#include "columnorder.h"
#include "gridstylefixture.h"
#include "n_svc_dw_selectrow.h"
#include "support/fakeinteraction.h"
#include "support/rowpoint.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

const QString headings
    = u"Nombre\tTipo de Miembro\tGrado Académico\tEspecialidad\tSNI\tInstitución\tEstado\t"
      u"Email\tCargo\tLíneas de Investigación\tÁreas de Aplicación\tSubprograma(s) en la Red\t"
      u"Proyectos\tEnzimas\n"_s;

// A row as the listing shows it, read cell by cell through the control.
QString line(const u_dw &control, long row)
{
    QStringList cells;
    for (const dw::GridColumn &column : dw::visibleColumns(control.model())) {
        QString value = control.GetItemString(row, column.name);
        for (QChar &c : value) {
            if (c == u'\t' || c == u'\n' || c == u'\r')
                c = u' ';
        }
        cells.append(value);
    }
    return cells.join(u'\t') + u'\n';
}

QString copied()
{
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    return mime ? mime->text() : QString();
}

long rowOfId(const u_dw &control, long id)
{
    for (long row = 1; row <= control.RowCount(); ++row) {
        if (control.GetItemNumber(row, u"id"_s) == double(id))
            return row;
    }
    return 0;
}

} // namespace

class TstGridStyleKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void copyTakesRowsAsShown();
    void keyboardOpensTheMenu();
    void selectAllFollowsTheSelectionStyle();
    void ctrlEnterDoubleClicksTheCurrentRow();
    void focusFrameOnlyWithFocus();

private:
    // A listing with extended row selection in an active window, the grid focused.
    std::optional<Grid> focusedGrid(bool retrieve = true);
    void clickRow(u_dw &control, long row, const QString &column, Qt::KeyboardModifiers modifiers = {});
    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleKeys::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleKeys::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

std::optional<Grid> TstGridStyleKeys::focusedGrid(bool retrieve)
{
    auto grid = gridtest::makeGrid(true, retrieve);
    if (!grid || !grid->control->of_startservice(u"Select"_s))
        return std::nullopt;
    grid->control->isrv_select()->of_setselectstyle(u"extend"_s);
    if (retrieve)
        grid->control->SetRow(1);
    grid->window->activateWindow();
    if (!QTest::qWaitForWindowActive(grid->window.get()))
        return std::nullopt;
    grid->control->setFocus();
    return grid;
}

void TstGridStyleKeys::clickRow(u_dw &control, long row, const QString &column,
                                Qt::KeyboardModifiers modifiers)
{
    control.ScrollToRow(row);
    const QPoint point = gridtest::pointOf(control, column, row);
    QVERIFY(point.x() >= 0);
    m_fake->ctrl = modifiers.testFlag(Qt::ControlModifier);
    const auto [widget, local] = gridtest::target(control, point);
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, local);
    m_fake->ctrl = false;
}

void TstGridStyleKeys::copyTakesRowsAsShown()
{
    auto grid = focusedGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;

    // Nothing selected: the current row.
    QApplication::clipboard()->clear();
    QTest::keyClick(&control, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copied(), headings + line(control, 1));

    // One selected row, accents and the apostrophe as they are.
    const long apostrophe = rowOfId(control, testsupport::sample::kApostrophe);
    QVERIFY(apostrophe > 0);
    clickRow(control, apostrophe, u"nombre"_s);
    QVERIFY(control.IsSelected(apostrophe));
    QTest::keyClick(&control, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copied(), headings + line(control, apostrophe));
    QVERIFY(copied().contains(u"Patricio O'Farrill Baeza\t"_s));
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime && mime->hasHtml());
    // Another program asking for plain text receives its UTF-8.
    QCOMPARE(mime->data(u"text/plain"_s), (headings + line(control, apostrophe)).toUtf8());
    QVERIFY(mime->html().contains(u"<th>Grado Académico</th>"_s));
    QVERIFY(mime->html().contains(u"<td>Patricio O'Farrill Baeza</td>"_s));

    // Several selected rows, in the grid's order, whatever order they were picked in;
    // Ctrl+Insert copies the same.
    const long longProjects = rowOfId(control, testsupport::sample::kLongProjects);
    clickRow(control, 2, u"nombre"_s, Qt::ControlModifier);
    clickRow(control, longProjects, u"nombre"_s, Qt::ControlModifier);
    QStringList expected{headings};
    for (long row = 1; row <= control.RowCount(); ++row) {
        if (row == 2 || row == apostrophe || row == longProjects)
            expected.append(line(control, row));
    }
    QApplication::clipboard()->clear();
    QTest::keyClick(&control, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(copied(), expected.join(QString()));
    QCOMPARE(copied().count(u'\n'), 4);

    // Columns come in the order the user gave them.
    control.Modify(dw::arrangeCommands(control.model(), {u"email"_s}));
    QTest::keyClick(&control, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(copied().startsWith(u"Email\tNombre\tTipo de Miembro\t"_s));
}

void TstGridStyleKeys::keyboardOpensTheMenu()
{
    auto grid = focusedGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    clickRow(control, 3, u"institucion"_s);

    // For the current row and the column last clicked in it.
    m_fake->menuCalls = 0;
    m_fake->chooseMenuItem = u"Ordenar Descendentemente"_s;
    QTest::keyClick(&control, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(m_fake->menuCalls, 1);
    QVERIFY(m_fake->lastMenuItems.contains(u"Filtrar por Selección"_s));
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"institucion D"_s);

    m_fake->chooseMenuItem = u"Filtrar por Selección"_s;
    const QString value = control.GetItemString(control.GetRow(), u"institucion"_s);
    QTest::keyClick(&control, Qt::Key_Menu);
    QCOMPARE(m_fake->menuCalls, 2);
    QVERIFY(control.RowCount() > 0);
    for (long row = 1; row <= control.RowCount(); ++row)
        QCOMPARE(control.GetItemString(row, u"institucion"_s), value);
    m_fake->chooseMenuItem.clear();

    // An empty grid has no row: only the commands for the whole grid.
    auto empty = focusedGrid(false);
    QVERIFY(empty);
    QTest::keyClick(empty->control, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(m_fake->menuCalls, 3);
    QVERIFY(!m_fake->lastMenuItems.contains(u"Filtrar por Selección"_s));
    QVERIFY(m_fake->lastMenuItems.contains(u"Ordenado Original"_s));
}

void TstGridStyleKeys::selectAllFollowsTheSelectionStyle()
{
    auto grid = focusedGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const auto selectedRows = [&control] {
        long count = 0;
        for (long row = 1; row <= control.RowCount(); ++row)
            count += control.IsSelected(row) ? 1 : 0;
        return count;
    };

    // Extended selection: every row, and Ctrl+C takes them all in the grid's order.
    clickRow(control, 3, u"nombre"_s);
    QTest::keyClick(&control, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(selectedRows(), control.RowCount());
    QCOMPARE(control.GetRow(), 3L);
    QApplication::clipboard()->clear();
    QTest::keyClick(&control, Qt::Key_C, Qt::ControlModifier);
    QString all = headings;
    for (long row = 1; row <= control.RowCount(); ++row)
        all += line(control, row);
    QCOMPARE(copied(), all);
    // A plain click afterwards selects only the clicked row again.
    clickRow(control, 2, u"nombre"_s);
    QCOMPARE(selectedRows(), 1L);

    // Single selection keeps its one row; without a style nothing is selected.
    control.isrv_select()->of_setselectstyle(u"single"_s);
    QTest::keyClick(&control, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(selectedRows(), 1L);
    QVERIFY(control.IsSelected(2));
    control.SelectRow(0, false);
    control.isrv_select()->of_setselectstyle(QString());
    QTest::keyClick(&control, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(selectedRows(), 0L);
}

void TstGridStyleKeys::ctrlEnterDoubleClicksTheCurrentRow()
{
    auto grid = focusedGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;

    // The row selection hears the double click: it leaves exactly that row selected.
    clickRow(control, 4, u"institucion"_s);
    clickRow(control, 6, u"nombre"_s, Qt::ControlModifier);
    QVERIFY(control.IsSelected(4) && control.IsSelected(6));
    control.SetRow(6);
    QTest::keyClick(&control, Qt::Key_Return, Qt::ControlModifier);
    for (long row = 1; row <= control.RowCount(); ++row)
        QCOMPARE(control.IsSelected(row), row == 6);
    // The keypad's Enter as well; plain Enter is left to the window.
    control.SetRow(2);
    QTest::keyClick(&control, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QVERIFY(control.IsSelected(2) && !control.IsSelected(6));
    control.SetRow(5);
    QTest::keyClick(&control, Qt::Key_Return);
    QVERIFY(!control.IsSelected(5));

    // No rows: nothing to open.
    auto empty = focusedGrid(false);
    QVERIFY(empty);
    QTest::keyClick(empty->control, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(empty->control->RowCount(), 0L);
}

void TstGridStyleKeys::focusFrameOnlyWithFocus()
{
    auto grid = focusedGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    QTest::keyClick(&control, Qt::Key_Down);
    QTest::keyClick(&control, Qt::Key_Down);
    QCOMPARE(control.GetRow(), 3L);
    const QPoint top = testsupport::pointOfRow(control, 3, 0);
    QVERIFY(top.y() > 0);
    const QColor focus = control.palette().color(QPalette::Highlight);
    const auto frameShown = [&] {
        const QImage image = control.grab().toImage();
        return QColor(image.pixel(top.x(), top.y())) == focus;
    };
    QVERIFY(control.hasFocus());
    QVERIFY(frameShown());

    // The frame follows the keys that move the current row.
    QTest::keyClick(&control, Qt::Key_End);
    QCOMPARE(control.GetRow(), control.RowCount());
    QVERIFY(!frameShown());
    QTest::keyClick(&control, Qt::Key_Home);
    QTest::keyClick(&control, Qt::Key_Down);
    QTest::keyClick(&control, Qt::Key_Down);
    QVERIFY(frameShown());

    // Away from the grid, no frame.
    auto *elsewhere = new QLineEdit(grid->window.get());
    elsewhere->show();
    elsewhere->setFocus();
    QVERIFY(!control.hasFocus());
    QVERIFY(!frameShown());
}

QTEST_MAIN(TstGridStyleKeys)
#include "tst_gridstyle_keys.moc"
