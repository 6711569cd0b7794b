// The grid style service's figures on the member listing, per directory size:
//   gridstyle_heading_sort  a heading click (indicators removed, SetSort, Sort, indicators
//                           made, sort remembered)         vs SetSort + Sort alone; and the
//                           first click on nombre right after a search
//   gridstyle_hover         a pointer move from one heading to the next (restore and
//                           highlight), and a move that stays on one heading
//   gridstyle_autowidth     of_resizewidth over every row    vs measuring the same texts alone
// Each figure is the median of --repeats runs. Settings go to a scratch folder.

#include "bench.h"

#include "db/transaction.h"
#include "n_svc_dw_gridstyle.h"
#include "u_dw.h"
#include "window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMoves = 2000;

dw::DwObjectRef heading(const QString &name)
{
    return dw::DwObjectRef{name, u"text"_s, u"header"_s};
}

template <class Work> double timed(Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Keeps the remembered sort out of the user's own settings while the figures run.
class ScratchSettings
{
public:
    explicit ScratchSettings(const QString &folder) : m_saved(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    }
    ~ScratchSettings() { qputenv("XDG_CONFIG_HOME", m_saved); }
    ScratchSettings(const ScratchSettings &) = delete;
    ScratchSettings &operator=(const ScratchSettings &) = delete;

private:
    QByteArray m_saved;
};

void measure(const bench::Options &options, long members)
{
    const QString n = u"n=%1"_s.arg(members);
    const QString sample = bench::sampleOf(options, members);
    dw::Transaction transaction;
    bench::connectAccess(transaction, QDir(sample).filePath(u"zemparol.mdb"_s));

    rt::Window window;
    auto *control = new u_dw(&window);
    control->setDataObject(u"dw_listado_grid"_s);
    control->SetTransObject(&transaction);
    control->QWidget::resize(1100, 500);
    if (sample.isEmpty() || transaction.SQLCode != 0 || !control->of_startservice(u"gridstyle"_s)) {
        bench::report({u"op=gridstyle"_s, n, u"error=no_service"_s});
        return;
    }
    n_svc_dw_gridstyle &service = *control->isrv_gridstyle();
    service.of_setstyle(true, true, true, true);
    // The first heading click right after a search, on a column no sort has ranked yet.
    std::vector<double> firstClicks;
    for (int run = 0; run < options.repeats; ++run) {
        control->SetSort(u""_s);
        if (control->Retrieve() <= 0) {
            bench::report({u"op=gridstyle"_s, n, u"error=no_rows"_s});
            return;
        }
        firstClicks.push_back(timed([&] { service.clicked(0, 0, 0, heading(u"nombre_t"_s)); }));
    }

    std::vector<double> clicks, plain, crossing, staying, fitting, measuring;
    for (int run = 0; run < options.repeats; ++run) {
        // Each click on a new column sorts ascending from the other column's order.
        const QString column = run % 2 == 0 ? u"nombre"_s : u"institucion"_s;
        clicks.push_back(timed([&] { service.clicked(0, 0, 0, heading(column + u"_t"_s)); }));
        const QString other = run % 2 == 0 ? u"institucion A"_s : u"nombre A"_s;
        plain.push_back(timed([&] {
            control->SetSort(other);
            control->Sort();
        }));

        crossing.push_back(timed([&] {
                               for (int i = 0; i < kMoves; ++i)
                                   service.mousemove(0, 0, 0,
                                                     heading(i % 2 == 0 ? u"nombre_t"_s : u"email_t"_s));
                           })
                           * 1000.0 / kMoves);
        staying.push_back(timed([&] {
                              for (int i = 0; i < kMoves; ++i)
                                  service.mousemove(0, 0, 0, heading(u"email_t"_s));
                          })
                          * 1000.0 / kMoves);

        fitting.push_back(timed([&] { (void)service.of_resizewidth(u"nombre"_s); }));
        measuring.push_back(timed([&] {
            const QFontMetrics metrics(control->font());
            const int number = control->model().columnNumber(u"nombre"_s);
            int widest = 0;
            for (long row = 1; row <= control->RowCount(); ++row)
                widest
                    = std::max(widest, metrics.horizontalAdvance(control->model().displayText(row, number)));
            return widest;
        }));
    }

    const double click = bench::median(clicks);
    const double sortOnly = bench::median(plain);
    bench::report({u"op=gridstyle_heading_sort"_s, n, u"ms=%1"_s.arg(click, 0, 'f', 2),
                   u"first_after_search_ms=%1"_s.arg(bench::median(firstClicks), 0, 'f', 2),
                   u"target_first_ms=300"_s, u"plain_sort_ms=%1"_s.arg(sortOnly, 0, 'f', 2),
                   u"ratio=%1"_s.arg(sortOnly > 0 ? click / sortOnly : 0, 0, 'f', 2)});
    bench::report({u"op=gridstyle_hover"_s, n, u"crossing_us=%1"_s.arg(bench::median(crossing), 0, 'f', 2),
                   u"staying_us=%1"_s.arg(bench::median(staying), 0, 'f', 3)});
    const double fit = bench::median(fitting);
    const double raw = bench::median(measuring);
    bench::report({u"op=gridstyle_autowidth"_s, n, u"ms=%1"_s.arg(fit, 0, 'f', 2),
                   u"measure_only_ms=%1"_s.arg(raw, 0, 'f', 2),
                   u"ratio=%1"_s.arg(raw > 0 ? fit / raw : 0, 0, 'f', 2)});
}

void gridStyle(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=gridstyle"_s, u"error=no_widget_application"_s});
        return;
    }
    const ScratchSettings settings(QDir(options.workDir).filePath(u"gridstyle-config"_s));
    for (const long members : options.sizes)
        measure(options, members);
}

const bench::BenchRegistrar registrar("gridstyle", gridStyle);

} // namespace
