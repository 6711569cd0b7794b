#pragma once

// views/export: the rows leaving the program as data. Save As in every format the engine
// writes (CSV, text, HTML, XLSX, PDF through the page renderer) and the copy of rows to
// the clipboard. It reads the model and the cell texts; it does not know the grid widget.

#include "interaction.h"

#include <QString>

namespace dw {

class DataWindow;

// Writes the rows of the primary buffer, in their current order and as they show
// (display formats and drop-down lookups applied), under the column headings (the
// "<col>_t" texts, or the column names), every column in column-number order:
//   "csv"  UTF-8 with a byte order mark, CRLF line ends, the target's separator (',' or
//          ';'), RFC 4180 quoting (a field with the separator, a ';', a quote or a line
//          break is quoted, quotes doubled), every value safe to open (spreadsheetWouldCompute);
//   "txt"  UTF-8, one record per CRLF-ended line, tab separated, every value safe to
//          open (spreadsheetWouldCompute); a backslash, tab, line feed or carriage return inside a
//          value is then written \\, \t, \n, \r;
//   "html" a UTF-8 page with one table under the document's title, text escaped, line
//          breaks as <br>;
//   "xlsx" a spreadsheet (see writeXlsx);
//   "pdf"  the printed pages, on the paper chosen last.
// Written atomically: true on success; on failure `error` says why in Spanish, no
// partial file is left and an older file of that name stays as it was.
[[nodiscard]] bool saveRows(const DataWindow &dw, const SaveTarget &target, QString *error = nullptr);

// What "Guardar Como" proposes: `baseName` in the folder and with the format (and CSV
// separator) chosen last, kept in the user's settings; CSV with commas in the documents
// folder the first time.
[[nodiscard]] SaveTarget proposedSaveTarget(const QString &baseName);
// Remembers the folder and format of a confirmed save for the next proposal.
void rememberSaveTarget(const SaveTarget &target);

// The target for a file the user named with a format chosen in the dialog's list: a
// known extension typed by the user ("lista.html", also ".htm") decides the format;
// a name without one gets the chosen format's extension.
[[nodiscard]] SaveTarget saveTargetFor(const QString &fileName, const QString &chosenFormat);

} // namespace dw
