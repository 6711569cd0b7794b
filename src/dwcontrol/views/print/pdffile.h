#pragma once

#include <QPageLayout>
#include <QString>

namespace dw {

class DataWindow;

// Writes the printed pages of a data window to a PDF file on the given paper, with the
// document's title, atomically (see writeAtomically). True on success; otherwise
// `error` says why, in Spanish.
[[nodiscard]] bool writePdf(const DataWindow &dw, const QString &fileName, const QPageLayout &paper,
                            QString *error);

} // namespace dw
