#include "fonts.h"

#include "units.h"

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

int pixelSizeOf(const LayoutFontSpec &wanted, double dpiY)
{
    const double points = units::fontPoints(wanted.height == 0 ? -10 : wanted.height);
    return std::max(1, int(std::lround(points * dpiY / 72.0)));
}

QString cacheKey(const LayoutFontSpec &wanted, int pixels)
{
    return wanted.face + QLatin1Char('|') + QString::number(pixels) + QLatin1Char('|')
        + QString::number(wanted.weight) + QLatin1Char(wanted.italic ? 'i' : '-')
        + QLatin1Char(wanted.underline ? 'u' : '-') + QLatin1Char(wanted.strikeout ? 's' : '-');
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
                          {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")});
        registerIfMissing(QStringLiteral("Marlett"), {QStringLiteral("marlett.ttf")});
    });
}

bool isMarlett(const QString &face)
{
    return face.compare(u"Marlett", Qt::CaseInsensitive) == 0;
}

QFont layoutFont(const LayoutFontSpec &wanted, double dpiY)
{
    ensureLayoutFonts();
    const int pixels = pixelSizeOf(wanted, dpiY);

    // Painting asks for the same few fonts thousands of times per second.
    static QHash<QString, QFont> cache;
    const QString key = cacheKey(wanted, pixels);
    if (const auto found = cache.constFind(key); found != cache.cend())
        return *found;

    QFont font(wanted.face.isEmpty() ? QStringLiteral("Arial") : wanted.face);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Weight(weightOf(wanted.weight)));
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    font.setStrikeOut(wanted.strikeout);
    font.setStyleStrategy(QFont::PreferAntialias);
    cache.insert(key, font);
    return font;
}

QRawFont layoutRawFont(const LayoutFontSpec &wanted, double dpiY)
{
    static QHash<QString, QRawFont> cache;
    const QString key = cacheKey(wanted, pixelSizeOf(wanted, dpiY));
    if (const auto found = cache.constFind(key); found != cache.cend())
        return *found;
    const QRawFont raw = QRawFont::fromFont(layoutFont(wanted, dpiY));
    cache.insert(key, raw);
    return raw;
}

} // namespace dw
