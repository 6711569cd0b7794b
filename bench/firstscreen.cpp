// The search as the user sees it in the real grid (offscreen, 1100 x 500 px), timed from
// the click on "Buscar":
//   first_screen  the first paint of the grid that shows rows, and the complete listing
//                 (every row read and shown), with no sort in force; then the same with a
//                 sort on nombre in force, whose rows show as they arrive and are sorted
//                 once the last one is read
// Each figure is the median of --repeats runs.

#include "bench.h"

#include "datawindowcontrol.h"
#include "db/transaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>

using namespace Qt::StringLiterals;

namespace {

// Notes when a widget first paints while its grid has rows.
class FirstPaint final : public QObject
{
public:
    FirstPaint(dw::DataWindowControl &control, const QElapsedTimer &clock)
        : m_control(control)
        , m_clock(clock)
    {}
    double ms = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && ms < 0 && m_control.RowCount() > 0)
            ms = double(m_clock.nsecsElapsed()) / 1e6;
        return false;
    }

private:
    dw::DataWindowControl &m_control;
    const QElapsedTimer &m_clock;
};

struct Search
{
    double firstRowsMs = -1;
    double completeMs = 0;
};

Search search(dw::DataWindowControl &control, const QString &sort)
{
    control.SetSort(sort);
    QElapsedTimer clock;
    FirstPaint painted(control, clock);
    const auto children = control.findChildren<QWidget *>();
    for (QWidget *child : children)
        child->installEventFilter(&painted);
    clock.start();
    // What "Buscar" does: read, sort by the sort in force, show.
    (void)control.Retrieve();
    (void)control.Sort();
    control.repaint();
    QCoreApplication::processEvents();
    Search result;
    result.completeMs = double(clock.nsecsElapsed()) / 1e6;
    result.firstRowsMs = painted.ms;
    for (QWidget *child : children)
        child->removeEventFilter(&painted);
    return result;
}

void firstScreen(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=first_screen"_s, u"error=no_widget_application"_s});
        return;
    }
    for (const long members : options.sizes) {
        const QString n = u"n=%1"_s.arg(members);
        const QString sample = bench::sampleOf(options, members);
        dw::Transaction transaction;
        bench::connectAccess(transaction, QDir(sample).filePath(u"zemparol.mdb"_s));
        dw::DataWindowControl control;
        control.setDataObject(u"dw_listado_grid"_s);
        control.SetTransObject(&transaction);
        control.QWidget::resize(1100, 500);
        control.show();
        QCoreApplication::processEvents();
        if (sample.isEmpty() || transaction.SQLCode != 0) {
            bench::report({u"op=first_screen"_s, n, u"error=no_connection"_s});
            continue;
        }
        std::vector<double> first, complete, sortedFirst, sortedComplete;
        for (int run = 0; run < options.repeats; ++run) {
            const Search plain = search(control, u""_s);
            first.push_back(plain.firstRowsMs);
            complete.push_back(plain.completeMs);
            const Search sorted = search(control, u"nombre A"_s);
            sortedFirst.push_back(sorted.firstRowsMs);
            sortedComplete.push_back(sorted.completeMs);
        }
        bench::report({u"op=first_screen"_s, n, u"rows=%1"_s.arg(control.RowCount()),
                       u"first_rows_ms=%1"_s.arg(bench::ms(bench::median(first))),
                       u"complete_ms=%1"_s.arg(bench::ms(bench::median(complete))),
                       u"sorted_first_rows_ms=%1"_s.arg(bench::ms(bench::median(sortedFirst))),
                       u"sorted_complete_ms=%1"_s.arg(bench::ms(bench::median(sortedComplete))),
                       u"target_first_ms=200"_s});
    }
}

const bench::BenchRegistrar registrar("first_screen", firstScreen);

} // namespace
