// What the grid paints, read back from the pixels: layout colours, objects created at
// run time with opaque and transparent backgrounds, the background band behind the
// rows, the symbol-font sort arrows, selected rows, and painting suspended by SetRedraw.

#include "gridfixture.h"

#include "datawindowcontrol.h"
#include "fonts.h"
#include "objectgeometry.h"
#include "objectpainter.h"
#include "units.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QColor kTeal(0, 128, 128);
const QColor kLightBlue(166, 202, 240);
const QColor kLightGreen(192, 220, 192);

int widthOfRow(const QImage &image, const QRect &box, int y, const QColor &colour)
{
    int count = 0;
    for (int x = box.left(); x <= box.right(); ++x)
        count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

} // namespace

class TestPaintGrid : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<gridtest::Directory> m_directory;
    std::unique_ptr<dw::DataWindowControl> m_control;

    [[nodiscard]] QPoint at(int x, int y) const
    {
        return {qRound(dw::units::toPixelsX(x, m_control->logicalDpiX())),
                qRound(dw::units::toPixelsY(y, m_control->logicalDpiY()))};
    }
    // A pixel of the detail band of a row (1-based) from layout units.
    [[nodiscard]] QPoint inRow(long row, int x, int y) const { return at(x, 68 + int(row - 1) * 120 + y); }
    [[nodiscard]] QImage shot() const
    {
        return m_control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    void showListing(int rows) { gridtest::showListing(rows, m_directory, m_control); }

private slots:
    void cleanup()
    {
        m_control.reset();
        m_directory.reset();
    }

    void layoutColoursAndGridLines()
    {
        showListing(3);
        const QImage image = shot();
        if (qEnvironmentVariableIsSet("GRID_SHOT"))
            image.save(qEnvironmentVariable("GRID_SHOT"));
        // Headings teal (stored red in the low byte: 8421376 is not olive), cells
        // alternating light blue and light green, the background white.
        QCOMPARE(image.pixelColor(at(1100, 4)), kTeal);
        QCOMPARE(image.pixelColor(inRow(2, 1100, 10)), kLightBlue);
        QCOMPARE(image.pixelColor(inRow(2, 1680, 10)), kLightGreen);
        QCOMPARE(image.pixelColor(inRow(5, 1100, 10)), QColor(Qt::white));
        // A grid line in the gap between the first two columns, only down to the last row.
        const auto lineInGap = [&](int y) {
            for (int x = at(1120, 0).x(); x < at(1129, 0).x(); ++x)
                if (image.pixelColor(x, y) != QColor(Qt::white))
                    return true;
            return false;
        };
        QVERIFY(lineInGap(inRow(2, 0, 60).y()));
        QVERIFY(lineInGap(at(0, 30).y()));
        QVERIFY(!lineInGap(inRow(5, 0, 60).y()));
        // The cell text is drawn: dark pixels at the start of the first cell.
        int dark = 0;
        for (int y = inRow(1, 0, 0).y(); y < inRow(2, 0, 0).y(); ++y)
            for (int x = at(9, 0).x(); x < at(500, 0).x(); ++x)
                dark += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
        QVERIFY(dark > 10);
    }

    // An attribute written as a default and an expression reads as the expression's value
    // at the row asked for.
    void attributesAtTheirRow()
    {
        showListing(3);
        const dw::DataWindow &model = m_control->model();
        QCOMPARE(m_control->Modify(u"nombre.tag='nadie~tnombre'"_s), QString());
        const auto column
            = std::find_if(model.objects().begin(), model.objects().end(), [](const auto &object) {
                  return object.kind == u"column" && object.name == u"nombre";
              });
        QVERIFY(column != model.objects().end());
        for (long row = 1; row <= 3; ++row) {
            const QString name = model.GetItemString(row, u"nombre"_s);
            QVERIFY(!name.isEmpty());
            QCOMPARE(dw::ObjectAttributes(model, *column, row).text(u"tag"_s), name);
        }
    }

    // Fonts as layouts give them: heights in points (negative) or in layout units
    // (positive, four to a pixel at 96 dpi), each weight its own font even where face and
    // size are the same, weight 0 as normal.
    void layoutFonts()
    {
        QCOMPARE(dw::units::fontPoints(-10), 10.0);
        QCOMPARE(dw::units::fontPoints(40), 7.5);
        QCOMPARE(dw::layoutFont({u"Arial"_s, 40}, 96).pixelSize(), 10);
        QCOMPARE(dw::layoutFont({u"Arial"_s, -10}, 96).pixelSize(), 13);
        QCOMPARE(dw::layoutFont({u"Arial"_s, -9, 700}, 96).weight(), QFont::Bold);
        QCOMPARE(dw::layoutFont({u"Arial"_s, -9, 400}, 96).weight(), QFont::Normal);
        QCOMPARE(dw::layoutFont({u"Arial"_s, -9, 0}, 96).weight(), QFont::Normal);
    }

    void createdTextsOpaqueAndTransparent()
    {
        showListing(3);
        // An opaque red text over the first heading, a transparent one over the second,
        // and a light grey stripe behind the rows of the fourth column.
        m_control->Modify(
            uR"(create text(band=header text="" x="200" y="8" height="40" width="300" name=probe_opaque background.mode="0" background.color="255" color="0"))"_s);
        m_control->Modify(
            uR"(create text(band=header text="" x="1200" y="8" height="40" width="300" name=probe_clear background.mode="1" background.color="536870912" color="0"))"_s);
        m_control->Modify(
            uR"(create text(band=background text="" x="2173" y="0" height="1200" width="883" name=especialidad_shade background.mode="0" background.color="16250871" color="536870912"))"_s);
        const QImage image = shot();
        QCOMPARE(image.pixelColor(at(300, 24)), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(at(150, 24)), kTeal); // outside the created text
        QCOMPARE(image.pixelColor(at(1300, 24)), kTeal);
        // The stripe shows under the rows, not through the opaque cells, and not beside.
        QCOMPARE(image.pixelColor(inRow(5, 2500, 60)), QColor(247, 247, 247));
        QCOMPARE(image.pixelColor(inRow(2, 3000, 60)), kLightGreen);
        QCOMPARE(image.pixelColor(inRow(5, 3500, 60)), QColor(Qt::white));

        // Destroyed, it is gone.
        m_control->Modify(u"destroy probe_opaque"_s);
        QCOMPARE(shot().pixelColor(at(300, 24)), kTeal);
    }

    void marlettArrowsAreTriangles()
    {
        showListing(2);
        const auto arrow = [this](const QString &glyph) {
            m_control->Modify(u"destroy nombre_arrow"_s);
            m_control->Modify(
                uR"(create text(band=header alignment="1" text="%1" border="0" color="255" x="9" y="4" height="44" width="1111" name=nombre_arrow visible="1" font.face="Marlett" font.height="-10" font.weight="400" font.charset="2" background.mode="1" background.color="536870912"))"_s
                    .arg(glyph));
            const QImage image = shot();
            // Red pixels, fully or blended, inside the arrow's frame.
            const QRect frame(at(9, 4), at(1120, 48));
            QRect box;
            for (int y = frame.top(); y < frame.bottom(); ++y)
                for (int x = frame.left(); x < frame.right(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.red() > 200 && c.green() < 90)
                        box |= QRect(x, y, 1, 1);
                }
            return std::pair{image, box};
        };
        const auto [up, upBox] = arrow(u"t"_s);
        QVERIFY2(upBox.width() >= 4 && upBox.height() >= 2, "no arrow drawn");
        // Right-aligned: at the right end of the heading.
        QVERIFY(upBox.right() > at(1000, 0).x());
        // Up: narrow at the top, wide at the bottom.
        const QColor red(255, 0, 0);
        QVERIFY(widthOfRow(up, upBox, upBox.top(), red) < widthOfRow(up, upBox, upBox.bottom(), red));
        const auto [down, downBox] = arrow(u"u"_s);
        QVERIFY(widthOfRow(down, downBox, downBox.top(), red)
                > widthOfRow(down, downBox, downBox.bottom(), red));
    }

    void headerStaysWhileRowsScroll()
    {
        showListing(60);
        m_control->SelectRow(1, true);
        const QImage top = shot();
        QCOMPARE(m_control->ScrollToRow(50), 1);
        const QImage scrolled = shot();
        // The headings do not move; the first row shown is no longer the selected one.
        QCOMPARE(scrolled.pixelColor(at(1100, 4)), kTeal);
        QVERIFY(top.pixelColor(inRow(1, 1100, 10)) != kLightBlue);
        QCOMPARE(scrolled.pixelColor(inRow(1, 1100, 10)), kLightBlue);
    }

    void freeformBandsStack()
    {
        showListing(3);
        const QString syntax = uR"(datawindow(processing=freeform units=0 color=16777215)
header(height=40)
detail(height=80)
footer(height=40)
table(name=directorio)
tablecolumn(name=nombre type=char(255) dbname="directorio.nombre")
text(band=header name=titulo text="" x="0" y="0" width="800" height="40" background.mode="0" background.color="255")
column(band=detail name=nombre id=1 x="0" y="0" width="800" height="60" background.mode="0" background.color="65280" color="0" font.face="Arial" font.height="-8")
text(band=footer name=pie text="" x="0" y="0" width="800" height="40" background.mode="0" background.color="16711680"))"_s;
        QString error;
        QVERIFY2(m_control->model().setSyntax(syntax, &error), qPrintable(error));
        QCOMPARE(m_control->Retrieve(), 3L);
        const QImage image = shot();
        const QColor green(0, 255, 0);
        // Header at the top, each row's detail below the one before, the footer at the
        // bottom of the control, white where no band object is.
        QCOMPARE(image.pixelColor(at(400, 20)), QColor(255, 0, 0));
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(image.pixelColor(at(400, 40 + (row - 1) * 80 + 4)), green);
            QCOMPARE(image.pixelColor(at(400, 40 + (row - 1) * 80 + 70)), QColor(Qt::white));
        }
        QCOMPARE(image.pixelColor(at(400, 40 + 3 * 80 + 30)), QColor(Qt::white));
        QCOMPARE(image.pixelColor(QPoint(at(400, 0).x(), m_control->height() - 3)), QColor(0, 0, 255));
        long row = -1;
        const dw::DwObjectRef footer
            = m_control->objectAt(QPoint(at(400, 0).x(), m_control->height() - 3), &row);
        QCOMPARE(footer.name + u'/' + footer.band, u"pie/footer"_s);
        QCOMPARE(row, 0L);
    }

    // A right-aligned label designed to just fit loses its last letters on the screen
    // only when it really is too wide; on pages (another resolution, other glyph
    // rounding) a label a little wider than its frame is drawn whole, spilling left.
    void labelsThatJustMissTheirFrameOnPages()
    {
        const QString label = u"Subprograma(s) en la Red:"_s;
        QFont font(u"Arial"_s);
        font.setPixelSize(qRound(10 * 96 / 72.0));
        font.setBold(true);
        const double natural = dw::units::toUnitsX(QFontMetricsF(font).horizontalAdvance(label));
        const int width = int(natural * 0.95);
        dw::DataWindow dw;
        QString error;
        QVERIFY2(dw.setSyntax(uR"(datawindow(processing=freeform units=0 color=16777215)
header(height=100)
text(band=header name=t text="%1" x="400" y="10" width="%2" height="64" alignment="1" color="0" background.mode="1" background.color="536870912" font.face="Arial" font.height="-10" font.weight="700"))"_s
                                  .arg(label)
                                  .arg(width),
                              &error),
                 qPrintable(error));
        // Dark pixels left of the frame's left edge, at a resolution.
        const auto spillsLeft = [&](double dpi) {
            QImage image(int(dw::units::toPixelsX(400 + width + 200, dpi)),
                         int(dw::units::toPixelsY(100, dpi)), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            dw::paintBand(dw, dw::Band::Header, 0, {&painter, QPointF(0, 0), dpi, dpi});
            painter.end();
            const int frameLeft = int(dw::units::toPixelsX(400, dpi)) - 1;
            for (int x = 0; x < frameLeft; ++x)
                for (int y = 0; y < image.height(); ++y)
                    if (qGray(image.pixel(x, y)) < 128)
                        return true;
            return false;
        };
        QVERIFY(!spillsLeft(96));
        QVERIFY(spillsLeft(192));
        QVERIFY(spillsLeft(300));
    }

    void selectedRowsAndSuspendedRedraw()
    {
        showListing(3);
        QCOMPARE(m_control->SelectRow(2, true), 1);
        const QImage image = shot();
        QVERIFY(image.pixelColor(inRow(2, 1100, 10)) != kLightBlue);
        QCOMPARE(image.pixelColor(inRow(1, 1100, 10)), kLightBlue);
        QCOMPARE(image.pixelColor(inRow(3, 1100, 10)), kLightBlue);

        // While redraw is off the canvas is not painted again; on, it catches up once.
        QCoreApplication::processEvents(); // what was asked before is painted now
        int paints = 0;
        QWidget *canvas = m_control->childAt(QPoint(5, 5));
        struct Counter : QObject
        {
            int &count;
            explicit Counter(int &c) : count(c) {}
            bool eventFilter(QObject *, QEvent *e) override
            {
                count += e->type() == QEvent::Paint ? 1 : 0;
                return false;
            }
        } counter(paints);
        canvas->installEventFilter(&counter);
        const auto paintsNow = [&] {
            canvas->repaint();
            QCoreApplication::processEvents();
            return paints;
        };
        {
            dw::RedrawSuspender outer(*m_control);
            {
                dw::RedrawSuspender inner(*m_control);
                m_control->Modify(u"nombre_t.background.color=255"_s);
            }
            // The inner scope has ended; the outer one still holds painting off.
            m_control->Modify(u"tipo_miembro_red_t.background.color=255"_s);
            QCOMPARE(paintsNow(), 0);
        }
        QTRY_VERIFY(paints >= 1);
        QCOMPARE(shot().pixelColor(at(1100, 4)), QColor(255, 0, 0));

        // Painting switched off by hand stays off after a suspension inside it.
        m_control->SetRedraw(false);
        {
            dw::RedrawSuspender suspended(*m_control);
        }
        paints = 0;
        QCOMPARE(paintsNow(), 0);
        m_control->SetRedraw(true);
        QTRY_VERIFY(paints >= 1);
    }
};

QTEST_MAIN(TestPaintGrid)
#include "tst_paintgrid.moc"
