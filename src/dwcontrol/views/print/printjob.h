#pragma once

// views/print: pages. The page renderer lays a data window out on pages (header, detail
// and footer bands), which the print preview shows, a printer prints and a PDF file
// holds, with one pagination for all three. A print job owns its printer and output file.

#include <QPageLayout>
#include <QString>

#include <vector>

class QPrinter;
class QWidget;

namespace dw {

class DataWindow;

// Printing state belongs to one print job: every job prints on a printer of its own,
// set up from what the user chose last, so a job that failed to start leaves nothing
// behind for the next, and no job reuses an earlier job's output file unasked.

// The printer selection: asks the user (through the interaction) which printer the next
// print uses, starting from the printer chosen last or the system default. Printing to
// a file proposes `documentName`.pdf in the folder used last for its kind of document
// (see proposedFilePath). A PDF file chosen here serves the next print of the same
// window only. With `selectionOnly` the selection also offers to print only the
// selected rows and says there whether the user chose that. -1 when the selection
// cannot be shown, 1 confirmed, 0 cancelled.
int selectPrinter(QWidget *parent, const QString &documentName = QString(), bool *selectionOnly = nullptr);

// The rows a print shows, by row number in listing order; empty for every row.
using PrintedRows = std::vector<long>;

// Prints the pages of a data window as one job: to the file chosen in this window's
// printer selection just before; else, with rows selected, after asking through the
// printer selection, which offers to print only those rows; else on the printer chosen
// last or the system default; else (no printer, or the last choice was a file) after
// asking. 1 printed, 0 cancelled by the user, -1 failed with `error` saying why in
// Spanish.
int printJob(const DataWindow &dw, QWidget *parent, QString *error);

// Prints the pages of `rows` (every row when empty) on a printer set up for this job: a
// PDF file when its output file is set (written atomically), else the printer itself.
// 1 ok, -1 with `error` on failure.
int printOn(const DataWindow &dw, QPrinter &printer, QString *error, const PrintedRows &rows = {});

// The paper and margins the next job prints on (chosen last, else the default printer's).
[[nodiscard]] QPageLayout chosenPageLayout();
void setChosenPageLayout(const QPageLayout &layout);

// The name a data window's files and print jobs are proposed under: its file name
// ("DataWindow.Print.FileName", else its table's name) for files, its document name
// ("DataWindow.Print.DocumentName", else the layout's name) for titles.
[[nodiscard]] QString documentFileBaseName(const DataWindow &dw);
[[nodiscard]] QString documentTitle(const DataWindow &dw);

} // namespace dw
