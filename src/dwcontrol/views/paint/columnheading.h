#pragma once

#include <QString>

namespace dw {

class DataWindow;

// The heading a user knows a column by: the text of its "<col>_t" object, else its name.
[[nodiscard]] QString columnHeading(const DataWindow &dw, const QString &column);

} // namespace dw
