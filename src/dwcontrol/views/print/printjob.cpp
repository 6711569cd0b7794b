#include "printjob.h"

#include "datawindow.h"
#include "documentfolder.h"
#include "interaction.h"
#include "pagepreview.h"
#include "pdffile.h"

#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

#include <optional>

namespace dw {
namespace {

// What the user chose in the last printer selection.
struct PrinterChoice
{
    QString printerName; // a real printer; empty for the system default
    bool toFile = false; // the last choice was a PDF file
    std::optional<QPageLayout> pageLayout;

    // A file chosen in a selection and not printed yet, with the window that asked.
    QString pendingFile;
    QPointer<QWidget> pendingWindow;
    bool pendingHasWindow = false;
};

PrinterChoice &choice()
{
    static PrinterChoice c;
    return c;
}

QWidget *windowOf(QWidget *widget)
{
    return widget ? widget->window() : nullptr;
}

bool printerExists(const QString &name)
{
    if (!name.isEmpty())
        return !QPrinterInfo::printerInfo(name).isNull();
    return !QPrinterInfo::defaultPrinter().isNull();
}

// A printer for one job, from the last choice: the printer chosen last when it still
// exists (else the system default), on the paper chosen last.
void setUpFromChoice(QPrinter &printer, const QString &documentName)
{
    const PrinterChoice &c = choice();
    if (!c.printerName.isEmpty() && printerExists(c.printerName))
        printer.setPrinterName(c.printerName);
    if (c.pageLayout)
        printer.setPageLayout(*c.pageLayout);
    printer.setDocName(documentName);
}

// Takes the file chosen for this window's next print, if any; a file chosen from
// another window is dropped instead of being written by this print.
QString takePendingFile(QWidget *parent)
{
    PrinterChoice &c = choice();
    QString file;
    const bool sameWindow = c.pendingHasWindow ? c.pendingWindow.data() == windowOf(parent) && c.pendingWindow
                                               : windowOf(parent) == nullptr;
    if (sameWindow)
        file = c.pendingFile;
    c.pendingFile.clear();
    c.pendingWindow.clear();
    c.pendingHasWindow = false;
    return file;
}

// The selected rows, in listing order.
PrintedRows selectedRows(const DataWindow &dw)
{
    PrintedRows rows;
    const long count = dw.RowCount();
    for (long row = 1; row <= count; ++row) {
        if (dw.IsSelected(row))
            rows.push_back(row);
    }
    return rows;
}

} // namespace

int selectPrinter(QWidget *parent, const QString &documentName, bool *selectionOnly)
{
    PrinterChoice &c = choice();
    QPrinter job(QPrinter::HighResolution);
    const QString baseName = documentName.isEmpty() ? QStringLiteral("documento") : documentName;
    const QString kind = documentKind(baseName);
    setUpFromChoice(job, baseName);
    // A file is only ever proposed here, in the dialog, where the user sees it: named
    // after what is printed, in the folder used last for that kind of document.
    if (c.toFile || !printerExists(QString())) {
        job.setOutputFormat(QPrinter::PdfFormat);
        job.setOutputFileName(proposedFilePath(baseName, QStringLiteral("pdf"), kind));
    }
    const int result = interaction().printerSetup(parent, job, selectionOnly != nullptr);
    if (result != 1)
        return result;
    if (selectionOnly)
        *selectionOnly = job.printRange() == QPrinter::Selection;

    c.pageLayout = job.pageLayout();
    c.pendingFile.clear();
    c.toFile = job.outputFormat() == QPrinter::PdfFormat && !job.outputFileName().isEmpty();
    if (c.toFile) {
        c.pendingFile = job.outputFileName();
        c.pendingWindow = windowOf(parent);
        c.pendingHasWindow = !c.pendingWindow.isNull();
        rememberFolderOf(c.pendingFile, kind);
    } else {
        c.printerName = job.printerName();
    }
    return 1;
}

int printJob(const DataWindow &dw, QWidget *parent, QString *error)
{
    QPrinter job(QPrinter::HighResolution);
    setUpFromChoice(job, documentTitle(dw));
    QString file = takePendingFile(parent);
    const PrintedRows selected = selectedRows(dw);
    bool selectionOnly = false;
    // Nowhere to print without asking (no printer, or the user printed to a file last),
    // or rows selected: the user says whether to print only those.
    const bool mustAsk = choice().toFile || !printerExists(choice().printerName);
    if (file.isEmpty() && (mustAsk || !selected.empty())) {
        const int chosen
            = selectPrinter(parent, documentFileBaseName(dw), selected.empty() ? nullptr : &selectionOnly);
        if (chosen == -1 && mustAsk) {
            if (error)
                *error = QStringLiteral("No hay ninguna impresora disponible y no fue posible mostrar el "
                                        "seleccionador de impresoras.");
            return -1;
        }
        if (chosen == 0)
            return 0;
        if (chosen == 1) { // else the printer at hand prints everything, as without a selection
            file = takePendingFile(parent);
            setUpFromChoice(job, documentTitle(dw));
        }
    }
    if (!file.isEmpty())
        job.setOutputFileName(file);
    return printOn(dw, job, error, selectionOnly ? selected : PrintedRows());
}

int printOn(const DataWindow &dw, QPrinter &printer, QString *error, const PrintedRows &rows)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return writePdf(dw, printer.outputFileName(), printer.pageLayout(), error, rows) ? 1 : -1;
    if (paintPages(dw, printer, rows) != 1 || printer.printerState() == QPrinter::Error) {
        if (error) {
            const QString name = printer.printerName().isEmpty()
                ? QStringLiteral("predeterminada")
                : QStringLiteral("«%1»").arg(printer.printerName());
            *error = QStringLiteral("La impresora %1 no está disponible o rechazó el trabajo.").arg(name);
        }
        return -1;
    }
    return 1;
}

QPageLayout chosenPageLayout()
{
    PrinterChoice &c = choice();
    if (!c.pageLayout)
        c.pageLayout = QPrinter(QPrinter::HighResolution).pageLayout();
    return *c.pageLayout;
}

void setChosenPageLayout(const QPageLayout &layout)
{
    choice().pageLayout = layout;
}

QString documentFileBaseName(const DataWindow &dw)
{
    const QString named = dw.Describe(QStringLiteral("DataWindow.Print.FileName"));
    if (!named.isEmpty() && named != u"!" && named != u"?")
        return named;
    // The generated SELECT ends with its table's name.
    QString table = dw.selectSql().trimmed().section(QLatin1Char(' '), -1);
    table.remove(QLatin1Char('"')).remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char('`'));
    if (!table.isEmpty() && table.contains(QLatin1Char('.')))
        table = table.section(QLatin1Char('.'), -1);
    return table.isEmpty() ? QStringLiteral("datos") : table;
}

QString documentTitle(const DataWindow &dw)
{
    const QString name = dw.Describe(QStringLiteral("DataWindow.Print.DocumentName"));
    if (!name.isEmpty() && name != u"!" && name != u"?")
        return name;
    return dw.dataObject().isEmpty() ? documentFileBaseName(dw) : dw.dataObject();
}

} // namespace dw
