#pragma once

#include "printjob.h"

#include <QPageLayout>
#include <QString>

namespace dw {

class DataWindow;

// Writes the printed pages of `rows` of a data window (every row when empty) to a PDF
// file on the given paper, with the document's title, atomically (see
// writeAtomically). True on success; otherwise `error` says why, in Spanish.
[[nodiscard]] bool writePdf(const DataWindow &dw, const QString &fileName, const QPageLayout &paper,
                            QString *error, const PrintedRows &rows = {});

} // namespace dw
