#pragma once

namespace gridstyle {

// Whether the application draws themed headers, which decides the resting colour of
// the header lines. Fusion and the native styles do; the classic flat style does not.
[[nodiscard]] bool isThemeActive();

// Replaces the query (tests switch themes without changing the application style);
// null restores the one that asks the application style.
using ThemeQuery = bool (*)();
void setThemeQuery(ThemeQuery query);

} // namespace gridstyle
