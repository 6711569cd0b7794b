// The listing shaped and copied by the user, per directory size, with the sort stripe on:
//   columns_resize_drag  a drag of the right border of "Nombre": press, 20 moves, release;
//                        each move changes the width and repaints a 1100 x 500 px grid
//                        (median and slowest move, and the median against the smallest size)
//   columns_copy         Ctrl+C on 100,000 selected rows (text and HTML table on the clipboard)
// Each figure is given as wall-clock time and as the process's processor time, which a
// machine shared with other work does not inflate. Settings go to a scratch folder.

#include "bench.h"

#include "db/transaction.h"
#include "n_svc_dw_gridstyle.h"
#include "u_dw.h"
#include "units.h"
#include "window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMoves = 20;
constexpr int kStep = 4; // pixels per move
constexpr long kCopiedRows = 100000;

void send(QWidget &widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// Wall-clock and processor milliseconds of one piece of work.
class Stopwatch
{
public:
    Stopwatch() : m_cpu(std::clock()) { m_wall.start(); }
    [[nodiscard]] double wallMs() const { return double(m_wall.nsecsElapsed()) / 1e6; }
    [[nodiscard]] double cpuMs() const { return double(std::clock() - m_cpu) * 1000.0 / CLOCKS_PER_SEC; }

private:
    QElapsedTimer m_wall;
    std::clock_t m_cpu;
};

struct Figures
{
    double medianMove = 0;
    double slowestMove = 0;
    double medianMoveCpu = 0;
    double slowestMoveCpu = 0;
    double copy = 0;
    double copyCpu = 0;
    bool ok = false;
};

Figures measure(const bench::Options &options, long members)
{
    Figures figures;
    const QString sample = bench::sampleOf(options, members);
    dw::Transaction transaction;
    bench::connectAccess(transaction, QDir(sample).filePath(u"zemparol.mdb"_s));

    rt::Window window;
    auto *control = new u_dw(&window);
    control->setDataObject(u"dw_listado_grid"_s);
    control->SetTransObject(&transaction);
    control->QWidget::resize(1100, 500);
    if (sample.isEmpty() || transaction.SQLCode != 0 || !control->of_startservice(u"gridstyle"_s))
        return figures;
    n_svc_dw_gridstyle &service = *control->isrv_gridstyle();
    service.of_setstyle(true, true, true, true);
    if (control->Retrieve() <= 0)
        return figures;
    // Sorted by the dragged column, so its stripe follows every move.
    service.of_process_popup(u"m_sortascending"_s, 1, u"nombre"_s);

    QImage image(control->size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&] {
        image.fill(Qt::white);
        control->render(&image);
    };
    paint(); // fonts and caches warm up once

    const double dpi = control->logicalDpiX();
    const int border = int(std::lround(dw::units::toPixelsX(9 + 1111, dpi)));
    const QPoint start(border, 6);
    QWidget *canvas = control->childAt(start);
    if (!canvas)
        return figures;

    std::vector<double> moves;
    std::vector<double> moveCpu;
    for (int run = 0; run < options.repeats; ++run) {
        const int width = control->Describe(u"nombre.Width"_s).toInt();
        const int edge = int(std::lround(dw::units::toPixelsX(9 + width, dpi)));
        send(*canvas, QEvent::MouseButtonPress, {edge, 6}, Qt::LeftButton);
        // Wider on even runs, narrower on odd ones, so the grid stays in one place.
        const int direction = run % 2 == 0 ? 1 : -1;
        for (int i = 1; i <= kMoves; ++i) {
            const Stopwatch watch;
            send(*canvas, QEvent::MouseMove, {edge + direction * i * kStep, 6}, Qt::LeftButton);
            paint();
            moves.push_back(watch.wallMs());
            moveCpu.push_back(watch.cpuMs());
        }
        send(*canvas, QEvent::MouseButtonRelease, {edge + direction * kMoves * kStep, 6}, Qt::NoButton);
    }
    figures.medianMove = bench::median(moves);
    figures.slowestMove = *std::max_element(moves.begin(), moves.end());
    figures.medianMoveCpu = bench::median(moveCpu);
    figures.slowestMoveCpu = *std::max_element(moveCpu.begin(), moveCpu.end());

    const long selected = std::min(kCopiedRows, control->RowCount());
    control->SelectRow(0, false);
    for (long row = 1; row <= selected; ++row)
        control->SelectRow(row, true);
    std::vector<double> copies;
    std::vector<double> copyCpu;
    for (int run = 0; run < options.repeats; ++run) {
        QApplication::clipboard()->clear();
        const Stopwatch watch;
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QCoreApplication::sendEvent(control, &copy);
        copies.push_back(watch.wallMs());
        copyCpu.push_back(watch.cpuMs());
    }
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    if (!mime || mime->text().count(u'\n') != selected + 1)
        return figures;
    figures.copy = bench::median(copies);
    figures.copyCpu = bench::median(copyCpu);
    figures.ok = true;
    return figures;
}

void columns(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=columns"_s, u"error=no_widget_application"_s});
        return;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(options.workDir).filePath(u"columns-config"_s));
    double smallest = 0;
    for (const long members : options.sizes) {
        const QString n = u"n=%1"_s.arg(members);
        const Figures figures = measure(options, members);
        if (!figures.ok) {
            bench::report({u"op=columns"_s, n, u"error=no_rows"_s});
            continue;
        }
        if (smallest == 0)
            smallest = figures.medianMoveCpu;
        bench::report({u"op=columns_resize_drag"_s, n, u"viewport=1100x500"_s, u"moves=%1"_s.arg(kMoves),
                       u"move_ms=%1"_s.arg(figures.medianMove, 0, 'f', 2),
                       u"slowest_move_ms=%1"_s.arg(figures.slowestMove, 0, 'f', 2),
                       u"move_cpu_ms=%1"_s.arg(figures.medianMoveCpu, 0, 'f', 2),
                       u"slowest_move_cpu_ms=%1"_s.arg(figures.slowestMoveCpu, 0, 'f', 2),
                       u"ratio_to_smallest=%1"_s.arg(figures.medianMoveCpu / smallest, 0, 'f', 2)});
        bench::report({u"op=columns_copy"_s, n, u"rows=%1"_s.arg(std::min(kCopiedRows, members)),
                       u"ms=%1"_s.arg(figures.copy, 0, 'f', 1),
                       u"cpu_ms=%1"_s.arg(figures.copyCpu, 0, 'f', 1)});
    }
}

const bench::BenchRegistrar registrar("columns", columns);

} // namespace
