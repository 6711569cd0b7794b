#include "pictures.h"

#include "random.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

const QColor kGreen(0, 128, 0);

QFont font(const QString &family, int pixelSize, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

bool save(const QImage &image, const QString &path, const char *format)
{
    return image.save(path, format, 88);
}

// A regular polygon around a centre, the outline of badges and molecules.
QPolygonF polygon(QPointF centre, double radius, int sides, double turn)
{
    QPolygonF shape;
    for (int i = 0; i < sides; ++i) {
        const double angle = turn + 2 * std::numbers::pi * i / sides;
        shape << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    return shape;
}

} // namespace

bool drawNetworkLogo(const QString &path)
{
    QImage image(600, 247, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A chain of linked rings, the network of enzymes, left of the name.
    p.setPen(QPen(kGreen, 7));
    const QPointF centres[] = {{70, 80}, {140, 125}, {70, 170}, {200, 80}};
    for (std::size_t i = 0; i + 1 < std::size(centres); ++i)
        p.drawLine(centres[i], centres[i + 1]);
    p.setBrush(QColor(120, 200, 80));
    for (const QPointF &c : centres)
        p.drawPolygon(polygon(c, 28, 6, 0));
    p.setPen(kGreen);
    p.setFont(font(u"Liberation Sans"_s, 70, true));
    p.drawText(QRectF(240, 30, 350, 120), Qt::AlignLeft | Qt::AlignVCenter, u"zemparol"_s);
    p.setPen(QColor(60, 60, 60));
    p.setFont(font(u"Liberation Sans"_s, 24, false));
    p.drawText(QRectF(240, 150, 350, 60), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               u"Red de Investigación en Enzimas"_s);
    p.end();
    return save(image, path, "JPG");
}

bool drawAgencyLogo(const QString &path)
{
    QImage image(500, 142, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 142);
    band.setColorAt(0, QColor(20, 60, 140));
    band.setColorAt(1, QColor(10, 30, 90));
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRoundedRect(QRectF(4, 4, 132, 134), 18, 18);
    p.setBrush(QColor(240, 180, 30));
    p.drawPolygon(polygon({70, 71}, 42, 5, -std::numbers::pi / 2));
    p.setPen(QColor(20, 60, 140));
    p.setFont(font(u"Liberation Sans"_s, 64, true));
    p.drawText(QRectF(150, 0, 350, 95), Qt::AlignLeft | Qt::AlignVCenter, u"VARDELO"_s);
    p.setFont(font(u"Liberation Sans"_s, 20, false));
    p.drawText(QRectF(152, 90, 350, 40), Qt::AlignLeft | Qt::AlignVCenter,
               u"Agencia de Ciencia y Desarrollo"_s);
    p.end();
    return save(image, path, "PNG");
}

// A colour of random hue, saturation and value, each drawn as offset + below(span); the
// draws go value first, then saturation, then hue, in statements of their own.
struct Span
{
    int span;
    int offset;
};

QColor hsv(Random &random, Span hue, Span saturation, Span value)
{
    const int v = value.offset + random.below(value.span);
    const int s = saturation.offset + random.below(saturation.span);
    const int h = hue.offset + random.below(hue.span);
    return QColor::fromHsv(h, s, v);
}

bool drawPortrait(const QString &path, const QString &initials, std::uint64_t seed)
{
    Random random(seed);
    const QColor background = hsv(random, {360, 0}, {80, 40}, {55, 200});
    const QColor figure = hsv(random, {360, 0}, {120, 90}, {90, 70});
    QImage image(220, 250, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 250);
    back.setColorAt(0, background.lighter(115));
    back.setColorAt(1, background.darker(110));
    p.fillRect(image.rect(), back);
    p.setPen(Qt::NoPen);
    p.setBrush(figure);
    // Shoulders, then the head.
    QPainterPath shoulders;
    const int width = 180 + random.below(20);
    const int left = 20 - random.below(10);
    shoulders.addEllipse(QRectF(left, 165, width, 170));
    p.drawPath(shoulders);
    const double head = 76 + random.below(16);
    p.drawEllipse(QRectF(110 - head / 2, 48, head, head * 1.15));
    p.setPen(Qt::white);
    p.setFont(font(u"Liberation Sans"_s, 46, true));
    p.drawText(QRectF(0, 175, 220, 70), Qt::AlignCenter, initials);
    p.end();
    return save(image, path, "JPG");
}

bool drawInstitutionLogo(const QString &path, const QString &acronym, int index, bool company)
{
    Random random(0x5EED0000ULL + std::uint64_t(index));
    const int value = 110 + random.below(80);
    const int saturation = 150 + random.below(80);
    const QColor main = QColor::fromHsv((index * 47) % 360, saturation, value);
    QImage image(220, 250, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(main.darker(140), 6));
    p.setBrush(main);
    const QPointF centre(110, 110);
    if (company)
        p.drawRoundedRect(QRectF(20, 30, 180, 160), 24, 24);
    else if (index % 3 == 0)
        p.drawEllipse(centre, 90, 90);
    else if (index % 3 == 1)
        p.drawPolygon(polygon(centre, 95, 6, std::numbers::pi / 6));
    else {
        QPainterPath shield;
        shield.moveTo(25, 25);
        shield.lineTo(195, 25);
        shield.lineTo(195, 120);
        shield.quadTo(195, 190, 110, 210);
        shield.quadTo(25, 190, 25, 120);
        shield.closeSubpath();
        p.drawPath(shield);
    }
    p.setPen(Qt::white);
    p.setFont(font(u"Liberation Serif"_s, acronym.size() > 4 ? 40 : 52, true));
    p.drawText(QRectF(20, 60, 180, 100), Qt::AlignCenter, acronym);
    p.setPen(main.darker(150));
    p.setFont(font(u"Liberation Sans"_s, 20, false));
    p.drawText(QRectF(0, 212, 220, 34), Qt::AlignCenter,
               company ? u"S.A. de C.V."_s : u"Ciencia y Técnica"_s);
    p.end();
    return save(image, path, "JPG");
}
