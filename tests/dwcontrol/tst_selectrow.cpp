// Row selection driven by real clicks (with Ctrl and Shift) and keys on an offscreen
// grid of the sample directory: on a control that forwards clicks, double clicks and
// row focus changes, and on one that forwards only clicks.

#include "db/transaction.h"
#include "globals.h"
#include "n_svc_dw_selectrow.h"
#include "support/fakeinteraction.h"
#include "support/rowpoint.h"
#include "support/sample.h"
#include "u_dw.h"

#include <QTest>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A control whose double-click and row-focus scripts replace the inherited ones, so
// the selection service hears only clicks.
class ClickOnlyControl : public u_dw
{
public:
    long doubleclicked(int, int, long, const dw::DwObjectRef &) override { return 0; }
    long rowfocuschanged(long) override { return 0; }
};

using Rows = QList<long>;

} // namespace

class TstSelectRow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void extendWithEveryEventForwarded();
    void extendWithOnlyClicksForwarded();
    void singleStyle();
    void noStyleSelectsNothing();

private:
    template <class Control> [[nodiscard]] std::unique_ptr<Control> grid(const QString &style);
    void click(u_dw &control, long row, Qt::KeyboardModifiers modifiers = {});
    void doubleClick(u_dw &control, long row);
    void key(u_dw &control, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
    [[nodiscard]] static QPoint pointOfRow(const u_dw &control, long row);
    [[nodiscard]] static Rows selected(const u_dw &control);

    std::unique_ptr<FakeInteraction> m_fake;
};

void TstSelectRow::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstSelectRow::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

template <class Control> std::unique_ptr<Control> TstSelectRow::grid(const QString &style)
{
    auto control = std::make_unique<Control>();
    control->setDataObject(u"dw_listado_grid"_s);
    control->constructor();
    if (!control->of_startservice(u"Select"_s))
        return nullptr;
    control->isrv_select()->of_setselectstyle(style);
    control->QWidget::resize(900, 500);
    control->show();
    if (!QTest::qWaitForWindowExposed(control.get()) || control->Retrieve() < 10)
        return nullptr;
    return control;
}

QPoint TstSelectRow::pointOfRow(const u_dw &control, long row)
{
    return testsupport::pointOfRow(control, row, 3);
}

Rows TstSelectRow::selected(const u_dw &control)
{
    Rows rows;
    for (long row = 1; row <= control.RowCount(); ++row) {
        if (control.IsSelected(row))
            rows.append(row);
    }
    return rows;
}

// Mouse events go to the widget under the point, as the window system would send them.
static std::pair<QWidget *, QPoint> target(u_dw &control, QPoint point)
{
    QWidget *child = control.childAt(point);
    return child ? std::pair{child, child->mapFrom(&control, point)} : std::pair{&control, point};
}

void TstSelectRow::click(u_dw &control, long row, Qt::KeyboardModifiers modifiers)
{
    const QPoint point = pointOfRow(control, row);
    QVERIFY2(point.y() >= 0, qPrintable(u"no point for row %1"_s.arg(row)));
    m_fake->ctrl = modifiers.testFlag(Qt::ControlModifier);
    m_fake->shift = modifiers.testFlag(Qt::ShiftModifier);
    const auto [widget, local] = target(control, point);
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, local);
    m_fake->ctrl = m_fake->shift = false;
}

void TstSelectRow::doubleClick(u_dw &control, long row)
{
    const QPoint point = pointOfRow(control, row);
    QVERIFY(point.y() >= 0);
    // Through the window system, so the double click arrives as a user's does: press,
    // release, then the second press reported as a double click.
    QWindow *window = control.window()->windowHandle();
    QVERIFY(window);
    QTest::mouseDClick(window, Qt::LeftButton, {}, control.mapTo(control.window(), point));
}

void TstSelectRow::key(u_dw &control, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    m_fake->ctrl = modifiers.testFlag(Qt::ControlModifier);
    m_fake->shift = modifiers.testFlag(Qt::ShiftModifier);
    QTest::keyClick(&control, key, modifiers);
    m_fake->ctrl = m_fake->shift = false;
}

void TstSelectRow::extendWithEveryEventForwarded()
{
    auto control = grid<u_dw>(u"Extend"_s);
    QVERIFY(control);
    n_svc_dw_selectrow &service = *control->isrv_select();
    QCOMPARE(service.is_style, u"extend"_s);

    click(*control, 5);
    QCOMPARE(selected(*control), Rows{5});
    QCOMPARE(control->GetRow(), 5L);
    click(*control, 7, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{5, 6, 7}));
    // The focus change makes the clicked row the anchor.
    QCOMPARE(service.il_start, 7L);
    click(*control, 6, Qt::ControlModifier);
    QCOMPARE(selected(*control), (Rows{5, 7}));
    QCOMPARE(service.il_start, 6L);
    click(*control, 3, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 4, 5, 6, 7}));
    click(*control, 4, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 5, 6, 7}));

    // A click on the header changes no selection.
    click(*control, 0);
    QCOMPARE(selected(*control), (Rows{3, 5, 6, 7}));

    doubleClick(*control, 2);
    QCOMPARE(selected(*control), Rows{2});

    // Arrow keys select the new row; with Shift they add it; with Ctrl they only move.
    QCOMPARE(control->GetRow(), 2L);
    key(*control, Qt::Key_Down);
    QCOMPARE(selected(*control), Rows{3});
    key(*control, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 4}));
    key(*control, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(control->GetRow(), 5L);
    QCOMPARE(selected(*control), (Rows{3, 4}));
}

void TstSelectRow::extendWithOnlyClicksForwarded()
{
    auto control = grid<ClickOnlyControl>(u"extend"_s);
    QVERIFY(control);
    n_svc_dw_selectrow &service = *control->isrv_select();

    // Shift before any plain click adds only the clicked row.
    click(*control, 4, Qt::ShiftModifier);
    QCOMPARE(selected(*control), Rows{4});
    QCOMPARE(service.il_start, 0L);

    click(*control, 5);
    QCOMPARE(selected(*control), Rows{5});
    QCOMPARE(control->GetRow(), 5L);
    click(*control, 7, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{5, 6, 7}));
    click(*control, 6, Qt::ControlModifier);
    QCOMPARE(selected(*control), (Rows{5, 7}));
    // The anchor is still the last plain click, so the range ends at 5, not at 6 or 7.
    QCOMPARE(service.il_start, 5L);
    click(*control, 3, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 4, 5, 7}));
    click(*control, 9, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 4, 5, 6, 7, 8, 9}));

    // Keyboard moves select nothing here.
    key(*control, Qt::Key_Down);
    key(*control, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selected(*control), (Rows{3, 4, 5, 6, 7, 8, 9}));
}

void TstSelectRow::singleStyle()
{
    auto control = grid<u_dw>(u"SINGLE"_s);
    QVERIFY(control);

    click(*control, 5);
    QCOMPARE(selected(*control), Rows{5});
    QCOMPARE(control->GetRow(), 5L);
    click(*control, 5);
    QCOMPARE(selected(*control), Rows{5});
    click(*control, 3, Qt::ControlModifier);
    QCOMPARE(selected(*control), Rows{3});
    click(*control, 6, Qt::ShiftModifier);
    QCOMPARE(selected(*control), Rows{6});
    click(*control, 0);
    QCOMPARE(selected(*control), Rows{6});
    key(*control, Qt::Key_Up);
    QCOMPARE(selected(*control), Rows{5});
}

void TstSelectRow::noStyleSelectsNothing()
{
    auto control = grid<u_dw>(QString());
    QVERIFY(control);
    click(*control, 2);
    click(*control, 4, Qt::ShiftModifier);
    doubleClick(*control, 3);
    key(*control, Qt::Key_Down);
    QCOMPARE(selected(*control), Rows{});

    // An unknown style disables clicks and focus changes, but a double click still
    // selects its row.
    control->isrv_select()->of_setselectstyle(u"multiple"_s);
    click(*control, 2);
    key(*control, Qt::Key_Down);
    QCOMPARE(selected(*control), Rows{});
    doubleClick(*control, 6);
    QCOMPARE(selected(*control), Rows{6});
}

QTEST_MAIN(TstSelectRow)
#include "tst_selectrow.moc"
