// Columns resized and moved with the mouse on an offscreen listing grid of the sample
// directory: the width, the columns to the right, the heading decorations and the sort
// stripe follow; a plain click still sorts; the user's widths and order come back at
// the next start and garbage in the settings is passed over.

#include "columndrag.h"
#include "columnorder.h"
#include "fonts.h"
#include "gridstylefixture.h"
#include "settings/settingsstore.h"
#include "support/fakeinteraction.h"
#include "textextent.h"
#include "units.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

int number(const Grid &grid, const QString &path)
{
    return grid.describe(path).toInt();
}

// Each visible column as "name x width", left to right.
QStringList placed(const u_dw &control)
{
    QStringList columns;
    for (const dw::GridColumn &column : dw::visibleColumns(control.model()))
        columns.append(u"%1 %2 %3"_s.arg(column.name).arg(column.x).arg(column.width));
    return columns;
}

// A point on the right border of a column's heading, in control pixels.
QPoint borderOf(const Grid &grid, const QString &column)
{
    const double right = number(grid, column + u".x"_s) + number(grid, column + u".width"_s);
    return {int(std::lround(dw::units::toPixelsX(right, grid.control->logicalDpiX()))), 6};
}

// The middle of a column's heading, in control pixels (away from either border).
QPoint headingOf(const Grid &grid, const QString &column)
{
    const double middle = number(grid, column + u".x"_s) + number(grid, column + u".width"_s) / 2.0;
    return {int(std::lround(dw::units::toPixelsX(middle, grid.control->logicalDpiX()))), 6};
}

// Press, a few movements with the button down, release: a drag as the window system
// delivers it.
void drag(u_dw &control, QPoint from, QPoint to)
{
    const auto [widget, local] = gridtest::target(control, from);
    QTest::mousePress(widget, Qt::LeftButton, {}, local);
    constexpr int steps = 6;
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(widget, local + (to - from) * i / steps);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, local + (to - from));
}

// Where an object shows at a row (0: a header object), in pixels of the control; empty when
// it does not show.
QRect frameOf(u_dw &control, const QString &name, long row)
{
    control.ScrollToRow(std::max(1L, row));
    const QPoint inside = gridtest::pointOf(control, name, row);
    if (inside.x() < 0)
        return {};
    QRect frame(inside, QSize(1, 1));
    long found = 0;
    for (int x = inside.x(); x < control.width() && control.objectAt({x, inside.y()}, &found).name == name;
         ++x)
        frame.setRight(x);
    for (int x = inside.x(); x >= 0 && control.objectAt({x, inside.y()}, &found).name == name; --x)
        frame.setLeft(x);
    for (int y = inside.y(); y >= 0 && control.objectAt({inside.x(), y}, &found).name == name && found == row;
         --y)
        frame.setTop(y);
    for (int y = inside.y();
         y < control.height() && control.objectAt({inside.x(), y}, &found).name == name && found == row; ++y)
        frame.setBottom(y);
    return frame;
}

// Pixels of ink painted in a frame: dark pixels on a light cell, or light ones on a dark
// heading.
int inkIn(u_dw &control, const QRect &frame, bool light)
{
    const QImage image = control.grab().toImage();
    int count = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y) {
        for (int x = frame.left(); x <= frame.right(); ++x) {
            const int lightness = image.pixelColor(x, y).lightness();
            count += light ? lightness > 200 : lightness < 100;
        }
    }
    return count;
}

// Pixels of ink painted in an object at a row (0: a header object). Fewer than with a very
// wide column means the text was cut.
int ink(u_dw &control, const QString &name, long row, bool light)
{
    const QRect frame = frameOf(control, name, row);
    return frame.isEmpty() ? -1 : inkIn(control, frame, light);
}

// The row whose shown value is widest, as the grid's font measures it.
long widestValueRow(const u_dw &control, const QString &column)
{
    const dw::TextExtent cells(control.model(), column, control.logicalDpiX(), control.logicalDpiY());
    const int number = control.model().columnNumber(column);
    long widest = 0;
    double most = -1;
    for (long row = 1; row <= control.RowCount(); ++row) {
        const double pixels = cells.pixels(control.model().displayText(row, number));
        if (pixels > most) {
            most = pixels;
            widest = row;
        }
    }
    return widest;
}

// The width that shows a column's heading and its widest value: each measured in its own
// painted font, plus the painter's padding.
int neededWidth(const u_dw &control, const QString &column)
{
    const double dpiX = control.logicalDpiX();
    const double dpiY = control.logicalDpiY();
    const dw::TextExtent cells(control.model(), column, dpiX, dpiY);
    const dw::TextExtent heading(control.model(), column + u"_t"_s, dpiX, dpiY);
    const long widest = widestValueRow(control, column);
    const double value
        = cells.pixels(control.model().displayText(widest, control.model().columnNumber(column)));
    // The caption is centred and the sort arrow takes the heading's last em.
    const double arrow = dw::layoutFont({u"Marlett"_s, -10}, dpiY).pixelSize();
    return std::max(cells.unitsToShow(value), heading.unitsToShow(heading.objectPixels() + 2 * arrow));
}

// An attribute of a created object as the grid evaluates it.
int evaluated(const u_dw &control, const QString &name, const QString &path)
{
    for (const dw::LayoutObject &object : control.model().objects()) {
        if (object.name == name)
            return control.model().attribute(object, path).toInt();
    }
    return -1;
}

} // namespace

class TstGridStyleColumns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void borderDragResizes();
    void headingDragMovesClickSorts();
    void doubleClickOnBorderFits();
    void storedBytesMeasureAsTheirText();
    void maskedColumnFitsItsShownText();
    void fitsAtTheZoomInForce();
    void layoutSurvivesRestart();
    void garbageInSettingsIsPassedOver();
    void oversizedSettingsArePassedOver_data();
    void oversizedSettingsArePassedOver();

private:
    void store(const QString &widths, const QString &order, const QString &zoom = QString());
    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleColumns::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleColumns::init()
{
    // A fresh settings file: one a test filled with a megabyte of garbage is not rewritten.
    QFile::remove(dw::SettingsStore::program().userFile());
}

void TstGridStyleColumns::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleColumns::store(const QString &widths, const QString &order, const QString &zoom)
{
    auto grid = gridtest::makeGrid(false, false);
    QVERIFY(grid);
    grid->service().of_setreg(u"columnwidths"_s, widths);
    grid->service().of_setreg(u"columnorder"_s, order);
    grid->service().of_setreg(u"sortorder"_s, u""_s);
    grid->service().of_setreg(u"zoom"_s, zoom);
}

void TstGridStyleColumns::borderDragResizes()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    gridtest::click(control, headingOf(*grid, u"nombre"_s));
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);

    // The pointer over the border says it can be dragged; over the heading it does not.
    const QPoint border = borderOf(*grid, u"nombre"_s);
    QWidget *canvas = control.childAt(border);
    QVERIFY(canvas);
    gridtest::moveTo(control, border);
    QCOMPARE(canvas->cursor().shape(), Qt::SplitHCursor);
    gridtest::moveTo(control, border - QPoint(60, 0));
    QVERIFY(canvas->cursor().shape() != Qt::SplitHCursor);

    drag(control, border, border + QPoint(60, 0));
    const int width = number(*grid, u"nombre.Width"_s);
    const int grown = width - 1111;
    QVERIFY2(std::abs(grown - dw::units::toUnitsX(60, control.logicalDpiX())) < 6,
             qPrintable(QString::number(width)));
    // Everything to the right moved by as much; the heading and its decorations kept up.
    QCOMPARE(number(*grid, u"tipo_miembro_red.x"_s), 1129 + grown);
    QCOMPARE(number(*grid, u"enzimas.x"_s), 11877 + grown);
    QCOMPARE(number(*grid, u"nombre_hline1.width"_s), width);
    QCOMPARE(number(*grid, u"nombre_arrow.width"_s), width);
    QCOMPARE(number(*grid, u"tipo_miembro_red_hline3.x"_s), 1129 + grown);
    // The stripe follows by evaluating its own expressions.
    QCOMPARE(evaluated(control, u"nombre_shade"_s, u"x"_s), 9 - 8);
    QCOMPARE(evaluated(control, u"nombre_shade"_s, u"width"_s), width + 14);
    // A drag is no click: the sort stayed.
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
    QCOMPARE(grid->service().of_getreg(u"columnwidths"_s, u""_s).section(u';', 0, 0),
             u"nombre="_s + QString::number(width));

    // A click on the border sorts nothing either; no column gets narrower than the minimum.
    gridtest::click(control, borderOf(*grid, u"nombre"_s));
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
    drag(control, borderOf(*grid, u"nombre"_s), QPoint(0, 6));
    const int minimum
        = int(std::ceil(dw::units::toUnitsX(dw::ColumnDrag::kMinimumPixels, control.logicalDpiX())));
    QCOMPARE(number(*grid, u"nombre.Width"_s), minimum);
    QCOMPARE(number(*grid, u"tipo_miembro_red.x"_s), 1129 + minimum - 1111);
    QCOMPARE(evaluated(control, u"nombre_shade"_s, u"width"_s), minimum + 14);
}

void TstGridStyleColumns::headingDragMovesClickSorts()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const QStringList designed = gridtest::visibleOrder(control);
    QCOMPARE(designed.size(), 14);
    const QString designedSort = grid->describe(u"DataWindow.Table.Sort"_s);

    // SNI dragged onto the left half of Nombre lands first.
    drag(control, headingOf(*grid, u"nivel_sni"_s), QPoint(4, 6));
    QStringList expected = designed;
    expected.move(expected.indexOf(u"nivel_sni"_s), 0);
    QCOMPARE(gridtest::visibleOrder(control), expected);
    QCOMPARE(number(*grid, u"nivel_sni.x"_s), 9);
    QCOMPARE(number(*grid, u"nivel_sni_hline1.x"_s), 9);
    QCOMPARE(number(*grid, u"nombre_t.x"_s), 9 + 270 + 9);
    // Each column keeps the gap after it, so the columns beyond stayed where they were.
    QCOMPARE(number(*grid, u"institucion.x"_s), 3337);
    QCOMPARE(number(*grid, u"cargo.x"_s), 5339);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), designedSort);
    QCOMPARE(grid->service().of_getreg(u"columnorder"_s, u""_s), expected.join(u','));

    // A plain click on a heading still sorts, and moves nothing.
    gridtest::click(control, headingOf(*grid, u"nombre"_s));
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
    QCOMPARE(gridtest::visibleOrder(control), expected);
    // The sorted column moved to the far right keeps its stripe over it.
    const QPoint nombre = headingOf(*grid, u"nombre"_s);
    drag(control, nombre, QPoint(control.width() - 30, 6));
    QCOMPARE(gridtest::visibleOrder(control).indexOf(u"nombre"_s),
             gridtest::visibleOrder(control).indexOf(u"institucion"_s) + 1);
    QCOMPARE(evaluated(control, u"nombre_shade"_s, u"x"_s), number(*grid, u"nombre.x"_s) - 8);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
}

void TstGridStyleColumns::doubleClickOnBorderFits()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const QString designedSort = grid->describe(u"DataWindow.Table.Sort"_s);
    // Narrowed by the user, "Grado Académico" and the degrees lose their last letters.
    const QString column = u"grado_academico"_s;
    const long widestRow = widestValueRow(control, column);
    QVERIFY(widestRow > 0);
    control.Modify(column + u".Width=1500"_s);
    const int wholeHeading = ink(control, column + u"_t"_s, 0, true);
    const int wholeValue = ink(control, column, widestRow, false);
    control.Modify(column + u".Width=300"_s);
    QVERIFY(ink(control, column + u"_t"_s, 0, true) < wholeHeading);
    QVERIFY(ink(control, column, widestRow, false) < wholeValue);

    const auto doubleClick = [&](const QString &name) {
        const auto [widget, local] = gridtest::target(control, borderOf(*grid, name));
        QTest::mouseDClick(widget, Qt::LeftButton, {}, local);
        return number(*grid, name + u".Width"_s);
    };
    const int fitted = doubleClick(column);
    QCOMPARE(fitted, neededWidth(control, column));
    // The heading and the widest value show whole; a few pixels less and the wider of
    // them would not. The caption is centred: 64 units (14 pixels) wider moves it by whole
    // pixels, so its ink there compares pixel for pixel.
    const auto headingInkWider = [&] {
        control.Modify(column + u".Width="_s + QString::number(fitted + 64));
        const int wider = ink(control, column + u"_t"_s, 0, true);
        control.Modify(column + u".Width="_s + QString::number(fitted));
        return wider;
    };
    QCOMPARE(ink(control, column + u"_t"_s, 0, true), headingInkWider());
    QCOMPARE(ink(control, column, widestRow, false), wholeValue);
    QCOMPARE(number(*grid, u"especialidad.x"_s), 1705 + fitted + 10);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), designedSort);
    QVERIFY(grid->service()
                .of_getreg(u"columnwidths"_s, u""_s)
                .contains(column + u'=' + QString::number(fitted)));
    // Sorted by it, the fitted column's arrow sits beside the caption, never over it: the
    // arrow adds as much ink to the fitted heading as to one 640 units (140 pixels) wider.
    const auto headingFrame = [&](int width) {
        control.Modify(column + u".Width="_s + QString::number(width));
        return frameOf(control, column + u"_t"_s, 0);
    };
    const QRect wide = headingFrame(fitted + 640);
    const int plainWide = inkIn(control, wide, true);
    const QRect narrow = headingFrame(fitted);
    const int plainFitted = inkIn(control, narrow, true);
    grid->service().clicked(0, 0, 0, {column + u"_t"_s, u"text"_s, u"header"_s});
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), column + u" A"_s);
    QCOMPARE(doubleClick(column), fitted);
    const int arrowFitted = inkIn(control, narrow, true) - plainFitted;
    control.Modify(column + u".Width="_s + QString::number(fitted + 640));
    QCOMPARE(arrowFitted, inkIn(control, wide, true) - plainWide);
    control.Modify(column + u".Width="_s + QString::number(fitted - 14));
    QVERIFY(ink(control, column + u"_t"_s, 0, true) < wholeHeading
            || ink(control, column, widestRow, false) < wholeValue);

    // Values narrower than the design: the double click narrows the column to them.
    const int nameWidth = doubleClick(u"nombre"_s);
    QCOMPARE(nameWidth, neededWidth(control, u"nombre"_s));
    QVERIFY2(nameWidth < 1111, qPrintable(QString::number(nameWidth)));
    // The service's own fitting after a retrieval keeps the design as its floor.
    grid->service().of_addautowidth(u"nombre"_s);
    QVERIFY(control.Retrieve() > 0);
    QCOMPARE(number(*grid, u"nombre.Width"_s), 1111);
}

void TstGridStyleColumns::layoutSurvivesRestart()
{
    QStringList shaped;
    {
        auto grid = gridtest::makeGrid();
        QVERIFY(grid);
        u_dw &control = *grid->control;
        drag(control, borderOf(*grid, u"especialidad"_s), borderOf(*grid, u"especialidad"_s) + QPoint(45, 0));
        drag(control, headingOf(*grid, u"grado_academico"_s), QPoint(4, 6));
        shaped = placed(control);
        QVERIFY(shaped.first().startsWith(u"grado_academico "_s));
        QVERIFY(number(*grid, u"especialidad.width"_s) > 869);
    }
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    QCOMPARE(placed(*grid->control), shaped);
    // The headings were placed with their columns before the heading lines were made.
    QCOMPARE(number(*grid, u"grado_academico_hline2.x"_s), 9);

    // Going back to the original sort or filter leaves the user's columns alone.
    grid->service().of_process_popup(u"m_originalsort"_s, 0, u"datawindow"_s);
    grid->service().of_process_popup(u"m_originalfilter"_s, 0, u"datawindow"_s);
    QCOMPARE(placed(*grid->control), shaped);
}

void TstGridStyleColumns::garbageInSettingsIsPassedOver()
{
    store(u"nombre=2000;nosuch=500;email=abc;cargo=-4;tipo_miembro_red=9999999;=;;especialidad;id=300"_s,
          u"cargo,nosuch,,nombre,nombre,id"_s, u"12"_s);
    {
        auto grid = gridtest::makeGrid();
        QVERIFY(grid);
        QCOMPARE(grid->control->zoom(), 1.0); // beyond the largest zoom
        QCOMPARE(number(*grid, u"nombre.width"_s), 2000);
        QCOMPARE(number(*grid, u"email.width"_s), 754);
        QCOMPARE(number(*grid, u"cargo.width"_s), 603);
        QCOMPARE(number(*grid, u"tipo_miembro_red.width"_s), 567);
        QCOMPARE(grid->describe(u"id.visible"_s), u"0"_s);
        const QStringList names = gridtest::visibleOrder(*grid->control);
        QCOMPARE(names.mid(0, 3), (QStringList{u"cargo"_s, u"nombre"_s, u"tipo_miembro_red"_s}));
        QCOMPARE(names.size(), 14);
        QCOMPARE(number(*grid, u"cargo.x"_s), 9);
    }

    // Nothing readable: the designed layout.
    store(u"\u0001%%%;nombre=;=12"_s, u";;;,"_s, u"1,5"_s);
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    QCOMPARE(grid->control->zoom(), 1.0);
    QCOMPARE(number(*grid, u"nombre.x"_s), 9);
    QCOMPARE(number(*grid, u"nombre.width"_s), 1111);
    QCOMPARE(number(*grid, u"enzimas.x"_s), 11877);
    QCOMPARE(gridtest::visibleOrder(*grid->control).first(), u"nombre"_s);
}

// A value can be as long as the service allows and still count; a longer one (a damaged
// or hostile settings file) is passed over at once, with a note.
void TstGridStyleColumns::oversizedSettingsArePassedOver_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("honoured");

    const qsizetype most = n_svc_dw_gridstyle::kLongestStoredValue;
    const auto padded = [](const QString &head, const QString &filler, qsizetype size) {
        QString value = head;
        while (value.size() + filler.size() <= size)
            value += filler;
        return value + QString(size - value.size(), u' ');
    };
    QTest::newRow("sort at the limit")
        << u"sortorder"_s << padded(u"nombre D"_s, u", email A"_s, most) << true;
    QTest::newRow("sort over it") << u"sortorder"_s << padded(u"nombre D"_s, u", email A"_s, most + 1)
                                  << false;
    QTest::newRow("sort of a megabyte")
        << u"sortorder"_s << padded(u"nombre D"_s, u", email A"_s, 1 << 20) << false;
    QTest::newRow("widths at the limit")
        << u"columnwidths"_s << padded(u"nombre=2000"_s, u";x=1"_s, most) << true;
    QTest::newRow("widths over it") << u"columnwidths"_s << padded(u"nombre=2000"_s, u";x=1"_s, most + 1)
                                    << false;
    QTest::newRow("order at the limit") << u"columnorder"_s << padded(u"cargo"_s, u",x"_s, most) << true;
    QTest::newRow("order of a megabyte") << u"columnorder"_s << padded(u"cargo"_s, u",x"_s, 1 << 20) << false;
}

void TstGridStyleColumns::oversizedSettingsArePassedOver()
{
    QFETCH(QString, entry);
    QFETCH(QString, value);
    QFETCH(bool, honoured);
    {
        auto grid = gridtest::makeGrid(false, false);
        QVERIFY(grid);
        QVERIFY(grid->service().of_setreg(entry, value) == 1);
    }
    if (!honoured)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"Se ignora el valor guardado \"%1\" de dw_listado_grid: %2 "
                                                u"caracteres"_s.arg(entry)
                                                    .arg(value.size())));
    QElapsedTimer clock;
    clock.start();
    auto grid = gridtest::makeGrid(false, false);
    QVERIFY(grid);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    if (entry == u"sortorder"_s)
        QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s).startsWith(u"nombre D"_s), honoured);
    else if (entry == u"columnwidths"_s)
        QCOMPARE(number(*grid, u"nombre.width"_s), honoured ? 2000 : 1111);
    else
        QCOMPARE(gridtest::visibleOrder(*grid->control).first(), honoured ? u"cargo"_s : u"nombre"_s);
}

// Fitting measures a column shown as stored straight from its UTF-8: every text measures
// as its decoded text does, lines, carriage returns, characters outside the first plane,
// a byte order mark and bytes that are not UTF-8 included.
void TstGridStyleColumns::storedBytesMeasureAsTheirText()
{
    dw::DataWindow model;
    QVERIFY(model.setDataObject(u"dw_listado_grid"_s));
    const dw::TextExtent cells(model, u"nombre"_s, 96, 96);
    const QList<QByteArray> texts{
        "",
        "Ana",
        "Núñez Peña",
        "ancho\r\nmás ancho que la primera\r\n",
        "a\rb",
        "fin\r",
        "línea\nWWWWWWWW",
        "WWWWWWWW\nab\nc",
        "€—ñü",
        "emoji \xF0\x9F\x98\x80 aquí",
        "\xEF\xBB\xBF"
        "bom",
        "tab\tdentro",
        "mal \xC3 cortado",
        "sobrelarga \xC0\xAF",
        "\xE2\x82",
    };
    for (const QByteArray &text : texts) {
        const std::string_view bytes(text.constData(), std::size_t(text.size()));
        QVERIFY2(cells.pixelsUtf8(bytes) == cells.pixels(QString::fromUtf8(text)), text.constData());
    }
}

// A column whose text is rewritten by a mask is measured from one row per stored value:
// the width is the one every row's shown text asks for.
void TstGridStyleColumns::maskedColumnFitsItsShownText()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const QString column = u"nombre"_s; // nearly every name once
    QCOMPARE(
        control.Modify(column + u".Format='[@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@] y más'"_s),
        u""_s);
    QVERIFY(!control.model().showsStoredText(control.model().columnNumber(column)));
    grid->service().columnautofit(column);
    QCOMPARE(number(*grid, column + u".Width"_s), neededWidth(control, column));
}

// Fitted while the listing is zoomed, a column shows its widest value whole at that zoom:
// font sizes are whole pixels, so a text does not grow exactly with the zoom, and at 80 % a
// name measured at the designed size would lose its last letters.
void TstGridStyleColumns::fitsAtTheZoomInForce()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    const QString column = u"nombre"_s;
    const long widestRow = widestValueRow(control, column);
    QVERIFY(widestRow > 0);
    for (const double zoom : {0.8, 1.5625}) {
        control.setZoom(zoom);
        control.Modify(column + u".Width=2500"_s);
        const int whole = ink(control, column, widestRow, false);
        control.columnautofit(column);
        QVERIFY(number(*grid, column + u".Width"_s) < 2500);
        QCOMPARE(ink(control, column, widestRow, false), whole);
    }
}

QTEST_MAIN(TstGridStyleColumns)
#include "tst_gridstyle_columns.moc"
