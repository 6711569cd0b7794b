#include "views/fonts.h"

#include "views/units.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>

#include <cmath>
#include <mutex>

namespace dw {
namespace {

// Where the Windows-compatible fonts are installed on Debian; outside fontconfig's path.
constexpr auto kCompatibleFontDir = "/usr/share/wine/fonts";

void registerIfMissing(const QString &family, const QStringList &files)
{
    if (QFontDatabase::hasFamily(family))
        return;
    const QDir dir(QString::fromLatin1(kCompatibleFontDir));
    for (const QString &file : files) {
        if (dir.exists(file))
            QFontDatabase::addApplicationFont(dir.filePath(file));
    }
}

int weightOf(int layoutWeight)
{
    // Layout weights are the 100..900 scale, which QFont::Weight shares.
    return std::clamp(layoutWeight <= 0 ? 400 : layoutWeight, 100, 900);
}

int pixelSizeOf(const LayoutFontSpec &spec, double dpiY)
{
    const double points = units::fontPoints(spec.height == 0 ? -10 : spec.height);
    return std::max(1, int(std::lround(points * dpiY / 72.0)));
}

QString cacheKey(const LayoutFontSpec &spec, int pixels)
{
    return spec.face + QLatin1Char('|') + QString::number(pixels) + QLatin1Char('|')
        + QString::number(spec.weight) + QLatin1Char(spec.italic ? 'i' : '-')
        + QLatin1Char(spec.underline ? 'u' : '-') + QLatin1Char(spec.strikeout ? 's' : '-');
}

} // namespace

void ensureLayoutFonts()
{
    // The font database needs a GUI application; without one there is nothing to draw.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    static std::once_flag once;
    std::call_once(once, [] {
        registerIfMissing(QStringLiteral("Tahoma"),
            { QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf") });
        registerIfMissing(QStringLiteral("Marlett"), { QStringLiteral("marlett.ttf") });
    });
}

bool isMarlett(const QString &face)
{
    return face.compare(u"Marlett", Qt::CaseInsensitive) == 0;
}

QFont layoutFont(const LayoutFontSpec &spec, double dpiY)
{
    ensureLayoutFonts();
    const int pixels = pixelSizeOf(spec, dpiY);

    // Painting asks for the same few fonts thousands of times per second.
    static QHash<QString, QFont> cache;
    const QString key = cacheKey(spec, pixels);
    if (const auto found = cache.constFind(key); found != cache.cend())
        return *found;

    QFont font(spec.face.isEmpty() ? QStringLiteral("Arial") : spec.face);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Weight(weightOf(spec.weight)));
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeout);
    font.setStyleStrategy(QFont::PreferAntialias);
    cache.insert(key, font);
    return font;
}

QRawFont layoutRawFont(const LayoutFontSpec &spec, double dpiY)
{
    static QHash<QString, QRawFont> cache;
    const QString key = cacheKey(spec, pixelSizeOf(spec, dpiY));
    if (const auto found = cache.constFind(key); found != cache.cend())
        return *found;
    const QRawFont raw = QRawFont::fromFont(layoutFont(spec, dpiY));
    cache.insert(key, raw);
    return raw;
}

} // namespace dw
