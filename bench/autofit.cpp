// Fitting a column's width to its heading and widest value, per directory size:
//   columns_autofit  the double click on a heading's border for "nombre" (nearly every
//                    value different) and "institucion" (a few hundred values), beside the
//                    same run's yardstick: each row's displayed text measured on its own
//                    with QFontMetricsF, as a fitting that measures every row would.
// Each figure is the median wall-clock time and the process's processor time of the runs.

#include "bench.h"

#include "db/transaction.h"
#include "fonts.h"
#include "n_svc_dw_gridstyle.h"
#include "u_dw.h"
#include "window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QSet>
#include <QSettings>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
};

Timing timeOnce(const std::function<void()> &work)
{
    const std::clock_t cpu = std::clock();
    QElapsedTimer wall;
    wall.start();
    work();
    return {double(wall.nsecsElapsed()) / 1e6, double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC};
}

Timing medianTiming(int runs, const std::function<void()> &work)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int run = 0; run < runs; ++run) {
        const Timing t = timeOnce(work);
        walls.push_back(t.wallMs);
        cpus.push_back(t.cpuMs);
    }
    return {bench::median(walls), bench::median(cpus)};
}

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
    if (sample.isEmpty() || transaction.SQLCode != 0 || !control->of_startservice(u"gridstyle"_s)
        || control->Retrieve() <= 0) {
        bench::report({u"op=columns_autofit"_s, n, u"error=no_rows"_s});
        return;
    }
    n_svc_dw_gridstyle &service = *control->isrv_gridstyle();
    const dw::DataWindow &model = control->model();
    const double dpiY = control->logicalDpiY();

    for (const QString &name : {u"nombre"_s, u"institucion"_s}) {
        const int column = model.columnNumber(name);
        QSet<QString> distinct;
        for (long row = 1; row <= model.RowCount(); ++row)
            distinct.insert(model.displayText(row, column));

        int width = 0;
        const Timing fit = medianTiming(options.repeats, [&] {
            control->Modify(name + u".Width=100"_s);
            service.columnautofit(name);
            width = control->Describe(name + u".Width"_s).toInt();
        });

        // The yardstick: every row's text laid out and measured on its own.
        const QFont font = dw::layoutFont({u"Arial"_s, -8, 400}, dpiY);
        double widest = 0;
        const Timing everyRow = medianTiming(options.repeats, [&] {
            const QFontMetricsF metrics(font);
            for (long row = 1; row <= model.RowCount(); ++row)
                widest = std::max(widest, metrics.horizontalAdvance(model.displayText(row, column)));
        });
        bench::report({u"op=columns_autofit"_s, n, u"column="_s + name, u"distinct=%1"_s.arg(distinct.size()),
                       u"width=%1"_s.arg(width), u"fit_ms="_s + bench::ms(fit.wallMs),
                       u"fit_cpu_ms="_s + bench::ms(fit.cpuMs),
                       u"every_row_ms="_s + bench::ms(everyRow.wallMs),
                       u"every_row_cpu_ms="_s + bench::ms(everyRow.cpuMs),
                       u"ratio="_s + bench::ratio(fit.cpuMs, everyRow.cpuMs)});
    }
}

void autofit(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=columns_autofit"_s, u"error=no_widget_application"_s});
        return;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(options.workDir).filePath(u"autofit-config"_s));
    for (const long members : options.sizes)
        measure(options, members);
}

const bench::BenchRegistrar registrar("autofit", autofit);

} // namespace
