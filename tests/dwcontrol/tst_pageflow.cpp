// Rows whose values grow: how a band grows and pushes what lies below it, and how grown
// rows go over pages without a line of text or an object cut in two.

#include "bandpainter.h"
#include "bandshape.h"
#include "objectgeometry.h"
#include "objectpainter.h"
#include "outputfixture.h"
#include "pageflow.h"
#include "pagepreview.h"
#include "units.h"

#include <QImage>
#include <QPainter>

using namespace outputtest;

namespace {

QString words(int characters)
{
    QStringList list;
    int length = 0;
    for (int i = 1; length < characters; ++i) {
        list << u"palabra%1"_s.arg(i);
        length += int(list.back().size()) + 1;
    }
    return list.join(u' ');
}

const dw::LayoutObject *objectNamed(const dw::DataWindow &dw, const QString &name)
{
    for (const dw::LayoutObject &object : dw.objects())
        if (object.name == name)
            return &object;
    return nullptr;
}

// The table's layout with notes that grow, 76 units high at the top of a 100-unit row,
// and a rule under them; the rows retrieved again.
bool makeNotesGrow(Table &table, const Bands &bands, int detailHeight = 0)
{
    QStringList lines = layoutSyntax(bands).split(u'\n');
    for (QString &line : lines) {
        if (detailHeight > 0 && line.startsWith(u"detail("_s))
            line = u"detail(height=%1)"_s.arg(detailHeight);
        if (!line.startsWith(u"column(band=detail name=nota "_s))
            continue;
        line.replace(u"height=\"%1\""_s.arg(bands.detail), u"height=\"76\""_s);
        line.insert(line.lastIndexOf(u')'), u" grow=yes"_s);
    }
    lines << u"line(band=detail name=regla x1=\"0\" y1=\"90\" x2=\"2000\" y2=\"90\" pen.width=\"4\")"_s;
    QString error;
    if (!table.dw.setSyntax(lines.join(u'\n'), &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    table.dw.SetTransObject(&table.transaction);
    return table.dw.Retrieve() > 0;
}

} // namespace

class TestPageFlow : public QObject
{
    Q_OBJECT

private slots:
    // A value that fits keeps the row as designed; a long one wraps and grows the row by
    // what its lines need beyond the designed height, pushing the rule under it down by
    // as much while the columns beside it stay.
    void bandGrowsBelowALongValue()
    {
        std::vector<Member> members = numberedMembers(2);
        members[1].nota = words(400);
        Table table;
        QVERIFY(table.open(members));
        QVERIFY(makeNotesGrow(table, {}));
        QVERIFY(dw::bandGrows(table.dw, dw::Band::Detail));
        const dw::LayoutObject *nota = objectNamed(table.dw, u"nota"_s);
        const dw::LayoutObject *rule = objectNamed(table.dw, u"regla"_s);
        const dw::LayoutObject *nombre = objectNamed(table.dw, u"nombre"_s);
        QVERIFY(nota && rule && nombre);

        const dw::BandShape fits(table.dw, dw::Band::Detail, 1);
        QVERIFY(!fits.wraps());
        QCOMPARE(fits.height(), 100.0);
        QCOMPARE(fits.shift(rule), 0.0);

        const dw::BandShape grown(table.dw, dw::Band::Detail, 2);
        QVERIFY(grown.wraps());
        const dw::WrappedText *lines = grown.wrapped(nota);
        QVERIFY(lines && lines->lines.size() > 10);
        const double growth = lines->height - 76;
        QCOMPARE(grown.height(), 100 + growth);
        QCOMPARE(grown.shift(rule), growth);
        QCOMPARE(grown.shift(nombre), 0.0);
        QCOMPARE(grown.shift(nota), 0.0);
    }

    // Rows of every length, each ending in 500 units of air, on pages: each row's pieces
    // follow one another from its top down to its last line, a page holds no more than its
    // room, no piece ends inside a line of text or holds only air, and a row that fits a
    // page is never split.
    void grownRowsFlowOverPages()
    {
        std::vector<Member> members = numberedMembers(60);
        for (std::size_t i = 0; i < members.size(); ++i)
            members[i].nota = i % 3 == 1 ? u"breve"_s : words(100 + 50 * int(i));
        Table table;
        QVERIFY(table.open(members));
        QVERIFY(makeNotesGrow(table, {}, 600));
        const double room = 3000;
        const dw::PageFlow flow(table.dw, room, false, 0);
        const dw::LayoutObject *nota = objectNamed(table.dw, u"nota"_s);

        std::vector<std::vector<std::pair<double, double>>> pieces(members.size() + 1);
        for (const std::vector<dw::PageFlow::Piece> &page : flow.pages) {
            double used = 0;
            QVERIFY(!page.empty());
            for (const dw::PageFlow::Piece &piece : page) {
                QVERIFY(piece.to > piece.from);
                QVERIFY(piece.from < flow.rows.at(std::size_t(piece.row - 1)).contentBottom());
                used += piece.to - piece.from;
                pieces.at(std::size_t(piece.row)).emplace_back(piece.from, piece.to);
            }
            QVERIFY2(used <= room + 1e-6, qPrintable(QString::number(used)));
        }
        int split = 0;
        for (long row = 1; row <= long(members.size()); ++row) {
            const dw::BandShape &shape = flow.rows.at(std::size_t(row - 1));
            const auto &own = pieces.at(std::size_t(row));
            QVERIFY(!own.empty());
            QCOMPARE(own.front().first, 0.0);
            for (std::size_t i = 1; i < own.size(); ++i)
                QCOMPARE(own[i].first, own[i - 1].second);
            QVERIFY(own.back().second >= shape.contentBottom() - 1e-6);
            if (shape.height() <= room) {
                QCOMPARE(int(own.size()), 1);
                continue;
            }
            ++split;
            const dw::WrappedText *lines = shape.wrapped(nota);
            QVERIFY(lines);
            for (std::size_t i = 0; i + 1 < own.size(); ++i) {
                const double cut = own[i].second;
                for (const dw::WrappedText::Line &line : lines->lines)
                    QVERIFY(cut <= line.top + 1e-6 || cut >= line.top + lines->lineHeight - 1e-6);
            }
        }
        QVERIFY(split > 0);
        // The rows keep their order.
        long previous = 0;
        for (const auto &page : flow.pages)
            for (const dw::PageFlow::Piece &piece : page) {
                QVERIFY(piece.row >= previous);
                previous = piece.row;
            }
    }

    // A value that fits its frame where lines are measured is shown on one line; on a
    // screen, whose font is rounded to whole pixels, it may come out a little wider, and
    // still shows whole rather than losing its last letters.
    void aValueThatFitsShowsWhole()
    {
        Table probe;
        QVERIFY(probe.open(numberedMembers(1)));
        QVERIFY(makeNotesGrow(probe, {}));
        const dw::LayoutObject *nota = objectNamed(probe.dw, u"nota"_s);
        QVERIFY(nota);
        const dw::ObjectStyle style = dw::resolveStyle(dw::ObjectAttributes(probe.dw, *nota, 1), 96, 96);
        const double pad = dw::textPadding(96);
        const QRectF inner = dw::units::toPixels(style.frame).adjusted(pad, 0, -pad, 0);
        // How wide the screen's glyphs are, as the one-line painter places them.
        const auto screenWidth = [&](const QString &text) {
            double width = 0;
            for (const QPointF &advance :
                 style.rawFont.advancesForGlyphIndexes(style.rawFont.glyphIndexesForString(text)))
                width += advance.x();
            return width;
        };
        const QString text = u"Universidad Autónoma de Sierra Verde, Facultad de Ciencias Químicas"_s;
        QString value;
        for (qsizetype start = 0; start < text.size() && value.isEmpty(); ++start) {
            for (qsizetype n = 1; start + n <= text.size(); ++n) {
                const QString part = text.mid(start, n);
                if (!dw::fitsOneLine(part, style))
                    break;
                if (part.back().isLetter() && screenWidth(part) > inner.width())
                    value = part;
            }
        }
        QVERIFY2(!value.isEmpty(), "no value fits the frame on paper and not on screen");

        std::vector<Member> members = numberedMembers(1);
        members[0].nota = value;
        Table table;
        QVERIFY(table.open(members));
        QVERIFY(makeNotesGrow(table, {}));
        QVERIFY(!dw::BandShape(table.dw, dw::Band::Detail, 1).wraps());
        QImage image(int(inner.right()) + 40, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        dw::BandPainter(table.dw, dw::Band::Detail, 96, 96).paint(painter, QPointF(0, 0), 1);
        painter.end();
        int rightmost = 0;
        for (int y = int(inner.top()); y < int(inner.bottom());
             ++y) // the value's line, not the rule under it
            for (int x = int(inner.left()); x < image.width(); ++x)
                if (QColor(image.pixel(x, y)).lightness() < 100)
                    rightmost = std::max(rightmost, x);
        // The last letter has ink past where the others end.
        const double others = inner.left() + screenWidth(value.chopped(1));
        QVERIFY2(rightmost > others + 0.5, qPrintable(u"%1 %2 %3"_s.arg(value).arg(rightmost).arg(others)));
    }

    // A card (one row per page) taller than a page continues on the pages after it; the
    // next card starts a page of its own.
    void cardContinuesOnTheNextPages()
    {
        std::vector<Member> members = numberedMembers(3);
        members[1].nota = words(5000);
        Table table;
        Bands bands;
        bands.processing = u"freeform"_s;
        QVERIFY(table.open(members, bands));
        QVERIFY(makeNotesGrow(table, bands));
        const dw::PageRenderer renderer(table.dw, testPage());
        QVERIFY(renderer.pageCount() > 3);
        QCOMPARE(renderer.rowsOnPage(0), (std::pair<long, long>{1, 1}));
        for (int page = 1; page < renderer.pageCount() - 1; ++page)
            QCOMPARE(renderer.rowsOnPage(page), (std::pair<long, long>{2, 2}));
        QCOMPARE(renderer.rowsOnPage(renderer.pageCount() - 1), (std::pair<long, long>{3, 3}));
    }
};

QTEST_MAIN(TestPageFlow)
#include "tst_pageflow.moc"
