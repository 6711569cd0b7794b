#pragma once

#include <QString>

class QIODevice;

namespace dw {

class DataWindow;

// The text formats of Save As, written to a device a row at a time straight from the
// rows' bytes (see saveRows for what each holds). False when the device refused a write.
[[nodiscard]] bool writeCsv(const DataWindow &dw, QIODevice &device, char separator);
[[nodiscard]] bool writeTabSeparated(const DataWindow &dw, QIODevice &device);
[[nodiscard]] bool writeHtmlPage(const DataWindow &dw, QIODevice &device, const QString &title);

} // namespace dw
