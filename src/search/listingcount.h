#pragma once

#include <QString>

namespace search {

// What the label beside the listing says about it: nothing before the first search,
// how many members are listed, how many of how many while a filter hides some, and that
// nobody was found after a search that found nobody.
[[nodiscard]] QString countText(bool searched, long listed, long hidden);
// What it says while a search reads: "Leyendo…", then how many members it has read.
[[nodiscard]] QString readingText(long read);
// What it says once the user stopped a search before its last row: the listing is
// incomplete, how many members were read, and how many of them show under a filter.
[[nodiscard]] QString stoppedText(long listed, long hidden);

} // namespace search
