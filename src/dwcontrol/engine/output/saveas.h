#pragma once

#include "interaction.h"

#include <QString>

namespace dw {

class DataWindow;

// Writes the rows of the primary buffer with the column headings (the "<col>_t" texts,
// or the column names) in a format: "csv" (UTF-8, RFC 4180 quoting), "txt" (tab
// separated), "html" (a table), "pdf" (the printed pages). True on success; on
// failure `error` says why and no partial file is left.
[[nodiscard]] bool saveRows(const DataWindow &dw, const SaveTarget &target, QString *error = nullptr);

} // namespace dw
