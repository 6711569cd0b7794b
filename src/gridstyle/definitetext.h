#pragma once

#include <QString>

namespace gridstyle {

// SetSort and SetFilter treat a null text as "ask the user"; criteria read from the
// service's state must never reach them as null by accident.
[[nodiscard]] inline QString definite(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace gridstyle
