#include "pdffile.h"

#include "atomicwrite.h"
#include "pagepreview.h"
#include "printjob.h"

#include <QPdfWriter>

namespace dw {

bool writePdf(const DataWindow &dw, const QString &fileName, const QPageLayout &paper, QString *error,
              const PrintedRows &rows)
{
    return writeAtomically(
        fileName,
        [&](QIODevice &device, QString *why) {
            QPdfWriter writer(&device);
            writer.setPageLayout(paper);
            writer.setTitle(documentTitle(dw));
            writer.setCreator(QStringLiteral("zemparol"));
            if (paintPages(dw, writer, rows) == 1)
                return true;
            *why = QStringLiteral("No se pudieron generar las páginas del PDF.");
            return false;
        },
        error);
}

} // namespace dw
