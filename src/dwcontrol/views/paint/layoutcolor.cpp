#include "objectpainter.h"

#include <QGuiApplication>
#include <QPalette>

namespace dw {

namespace {

constexpr qint64 kTransparent = 536870912; // 0x20000000
constexpr qint64 kWindowText = 33554432; // 0x02000000
constexpr qint64 kButtonFace = 67108864; // 0x04000000
constexpr qint64 kSystemColour = 134217728; // 0x08000000 + index
constexpr qint64 kWindowBackground = 1073741824; // 0x40000000

QPalette currentPalette()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                         : QPalette();
}

} // namespace

// The system colour indexes of the host platform, mapped to the palette roles that
// play the same part.
QColor systemColor(int index)
{
    const QPalette palette = currentPalette();
    switch (index) {
    case 0:
        return palette.color(QPalette::Button); // scroll bar
    case 1:
        return palette.color(QPalette::Dark); // desktop
    case 2:
        return palette.color(QPalette::Highlight); // active caption
    case 3:
        return palette.color(QPalette::Mid); // inactive caption
    case 4:
        return palette.color(QPalette::Window); // menu
    case 5:
        return palette.color(QPalette::Base); // window
    case 6:
        return palette.color(QPalette::Shadow); // window frame
    case 7:
        return palette.color(QPalette::WindowText); // menu text
    case 8:
        return palette.color(QPalette::Text); // window text
    case 9:
        return palette.color(QPalette::HighlightedText); // caption text
    case 10:
    case 11:
        return palette.color(QPalette::Button); // borders
    case 12:
        return palette.color(QPalette::Mid); // application workspace
    case 13:
        return palette.color(QPalette::Highlight);
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 15:
        return palette.color(QPalette::Button); // button face
    case 16:
        return palette.color(QPalette::Dark); // button shadow
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18:
        return palette.color(QPalette::ButtonText);
    case 19:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 20:
        return palette.color(QPalette::Light); // button highlight
    case 21:
        return palette.color(QPalette::Shadow); // 3D dark shadow
    case 22:
        return palette.color(QPalette::Midlight); // 3D light
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    case 26:
        return palette.color(QPalette::Link); // hot-tracked item
    case 27:
    case 29:
        return palette.color(QPalette::Highlight); // gradient caption, menu highlight
    case 28:
        return palette.color(QPalette::Mid);
    case 30:
        return palette.color(QPalette::Window); // menu bar
    default:
        return palette.color(QPalette::Window);
    }
}

QColor layoutColor(qint64 number)
{
    if (number == kTransparent)
        return {};
    if (number == kWindowText)
        return currentPalette().color(QPalette::WindowText);
    if (number == kButtonFace)
        return currentPalette().color(QPalette::Button);
    if (number == kWindowBackground)
        return currentPalette().color(QPalette::Base);
    if (number >= kSystemColour && number < kSystemColour + 256)
        return systemColor(int(number - kSystemColour));
    if (number < 0 || number > 0xFFFFFF)
        return {};
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

} // namespace dw
