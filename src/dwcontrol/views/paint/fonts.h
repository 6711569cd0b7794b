#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>

namespace dw {

// A font as layouts describe it: a face, a height (negative: points; positive: layout
// units), a weight (400 normal, 700 bold) and the style flags.
struct LayoutFontSpec
{
    QString face;
    int height = -10;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

// Makes the faces the layouts name available: Tahoma and Marlett ship outside
// fontconfig's folders (in the Windows-compatible font set), so they are registered
// with the application when the system has no font of that name. Arial is left to
// fontconfig, which maps it to its metric twin. Safe to call often; runs once.
void ensureLayoutFonts();

// The QFont for a layout font on a device of vertical resolution `dpiY`. The size is
// set in device pixels, so the same text measures the same on screen, printers and
// PDF whatever logical dpi the paint device reports. Fonts are cached.
[[nodiscard]] QFont layoutFont(const LayoutFontSpec &wanted, double dpiY = 96.0);

// The same font as raw glyph data for the fast text path of screen painting; cached.
[[nodiscard]] QRawFont layoutRawFont(const LayoutFontSpec &wanted, double dpiY = 96.0);

// Whether a face is the symbol font whose "t"/"u" glyphs are the sort triangles.
[[nodiscard]] bool isMarlett(const QString &face);

} // namespace dw
