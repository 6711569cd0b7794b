#pragma once

#include "types/value.h"

#include <QString>

namespace dw {

// The text a value shows under a display format: "[general]" (or no format) is the
// value's default text, numbers without needless decimals; number masks such as "0",
// "#,##0", "#,##0.00" (',' groups thousands, '.' marks decimals, text around the mask
// is kept) apply to numbers; "@" masks place the characters of a text. Null shows as
// an empty text. A format the engine does not read falls back to the default text.
[[nodiscard]] QString formatValue(const Value &value, const QString &format);

} // namespace dw
