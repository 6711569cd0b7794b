#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace dw {

// The most lines a tool tip shows, however tall the screen.
constexpr int kToolTipMaxLines = 30;

// A value made fit for a tool tip on a screen area: wrapped at a readable width, at most
// kToolTipMaxLines lines and never taller than the area; a longer value is cut at the
// end with an ellipsis and a last line that counts the characters not shown, so its
// beginning is always readable. A value that fits on one line comes back as it is;
// anything else as rich text, the value escaped.
[[nodiscard]] QString boundedToolTip(const QString &value, const QFont &font, const QRect &available);

} // namespace dw
