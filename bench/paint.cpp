// Painting the member listing: one full paint of a 1100 x 500 px viewport, and scrolling
// by one page, at every directory size. Only the rows that show are painted, so both
// should cost the same at 10,000 and at 1,000,000 members.

#include "bench.h"

#include "datawindowcontrol.h"
#include "db/transaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPaints = 30; // paints per run; a run's figure is their mean

double paintOnce(dw::DataWindowControl &control, QImage &image)
{
    QElapsedTimer timer;
    timer.start();
    image.fill(Qt::white);
    control.render(&image);
    return double(timer.nsecsElapsed()) / 1e6;
}

void paintListing(const bench::Options &options)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        bench::report({u"op=paint"_s, u"error=no_widget_application"_s});
        return;
    }
    double firstPaint = 0;
    for (const long members : options.sizes) {
        const QString sample = bench::sampleOf(options, members);
        dw::Transaction transaction;
        bench::connectAccess(transaction, QDir(sample).filePath(u"zemparol.mdb"_s));
        dw::DataWindowControl control;
        control.setDataObject(u"dw_listado_grid"_s);
        control.SetTransObject(&transaction);
        if (sample.isEmpty() || transaction.SQLCode != 0 || control.Retrieve() <= 0) {
            bench::report({u"op=paint"_s, u"n=%1"_s.arg(members), u"error=no_rows"_s});
            continue;
        }
        control.QWidget::resize(1100, 500);
        QImage image(control.size(), QImage::Format_ARGB32_Premultiplied);
        paintOnce(control, image); // fonts and caches warm up once

        std::vector<double> paints;
        std::vector<double> pages;
        for (int run = 0; run < options.repeats; ++run) {
            // A full paint in the middle of the directory.
            control.ScrollToRow(control.RowCount() / 2);
            double total = 0;
            for (int i = 0; i < kPaints; ++i)
                total += paintOnce(control, image);
            paints.push_back(total / kPaints);

            // Scrolling by one page (the Page Down key) and painting the new page.
            QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
            QCoreApplication::sendEvent(&control, &home);
            total = 0;
            for (int i = 0; i < kPaints; ++i) {
                QElapsedTimer timer;
                timer.start();
                QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
                QCoreApplication::sendEvent(&control, &pageDown);
                image.fill(Qt::white);
                control.render(&image);
                total += double(timer.nsecsElapsed()) / 1e6;
            }
            pages.push_back(total / kPaints);
        }
        const double paint = bench::median(paints);
        if (firstPaint == 0)
            firstPaint = paint;
        bench::report({u"op=paint"_s, u"n=%1"_s.arg(members), u"viewport=1100x500"_s,
                       u"ms=%1"_s.arg(paint, 0, 'f', 2),
                       u"ratio_to_smallest=%1"_s.arg(paint / firstPaint, 0, 'f', 2)});
        bench::report({u"op=paint_page_down"_s, u"n=%1"_s.arg(members), u"viewport=1100x500"_s,
                       u"ms=%1"_s.arg(bench::median(pages), 0, 'f', 2)});
    }
}

const bench::BenchRegistrar registrar("paint", paintListing);

} // namespace
