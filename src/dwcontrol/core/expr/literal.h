#pragma once

#include <QString>

namespace dw {

// The text as a literal of the expression language: in `quote` (a double or a single
// quote), with ~ and both quotes escaped, so any text reads back unchanged.
[[nodiscard]] QString quotedText(const QString &text, QChar quote = u'"');

} // namespace dw
