#include "qtinteraction.h"

#include "interaction.h"

#include "columnsdialog.h"
#include "dialogs.h"
#include "saveas.h"

#include <QAction>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QtPrintSupport/qtprintsupportglobal.h>
#if QT_CONFIG(printdialog)
#include <QPrintDialog>
#endif
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace dw {
namespace {

// Without a screen (the offscreen and minimal platforms) nobody could answer a modal dialog.
bool headless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == u"offscreen" || platform == u"minimal";
}

// Puts `widget` in a row of its own above everything else of a grid layout.
void addAbove(QGridLayout &grid, QWidget *widget)
{
    struct Placed
    {
        QLayoutItem *item;
        int row, column, rowSpan, columnSpan;
    };
    QList<Placed> placed;
    while (grid.count() > 0) {
        Placed p{};
        grid.getItemPosition(0, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
        p.item = grid.takeAt(0);
        placed.append(p);
    }
    const int columns = std::max(1, grid.columnCount());
    grid.addWidget(widget, 0, 0, 1, columns);
    for (const Placed &p : placed)
        grid.addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
}

// A message as a box can show it on any screen: a line too long for a box (a deep path)
// keeps its start and its end around "…", and a text of too many lines its first and last
// lines around a line "…".
QString fittedText(const QString &text)
{
    constexpr qsizetype LongestLine = 240;
    constexpr qsizetype MostLines = 24;
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (line.size() > LongestLine)
            line = line.left(LongestLine / 2) + u'…' + line.right(LongestLine / 2 - 1);
    }
    if (lines.size() > MostLines) {
        const QStringList last = lines.mid(lines.size() - MostLines / 2 + 1);
        lines = lines.mid(0, MostLines / 2);
        lines.append(u"…"_s);
        lines.append(last);
    }
    return lines.join(u'\n');
}

// The real dialogs of Qt.
class QtInteraction final : public Interaction
{
public:
    void messageBox(QWidget *parent, const QString &title, const QString &text) override
    {
        const QString shown = fittedText(text);
        QMessageBox box(QMessageBox::Information, title, shown, QMessageBox::Ok, parent);
        // What had to be shortened stays readable, and copyable, whole.
        if (shown != text)
            box.setDetailedText(text);
        box.exec();
    }

    int printerSetup(QWidget *parent, QPrinter &printer, bool offerSelection) override
    {
#if QT_CONFIG(printdialog)
        if (headless())
            return -1;
#ifdef Q_OS_WIN
        // The native dialog lists printers only: with none installed it cannot open.
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            return -1;
#endif
        // Elsewhere Qt's own dialog always offers printing to a PDF file, so it can be
        // shown even when no printer is installed.
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, offerSelection);
        if (!dialog.isEnabled())
            return -1;
        return dialog.exec() == QDialog::Accepted ? 1 : 0;
#else
        Q_UNUSED(parent)
        Q_UNUSED(printer)
        Q_UNUSED(offerSelection)
        return -1;
#endif
    }

    std::optional<SaveTarget> askSaveAs(QWidget *parent, const SaveTarget &proposed) override
    {
        const QString csv = QStringLiteral("Valores separados por comas (*.csv)");
        const QString csvSemicolon = QStringLiteral("Valores separados por punto y coma (*.csv)");
        const QString xlsx = QStringLiteral("Libro de Excel (*.xlsx)");
        const QString txt = QStringLiteral("Texto separado por tabuladores (*.txt)");
        const QString html = QStringLiteral("Página HTML (*.html)");
        const QString pdf = QStringLiteral("Documento PDF (*.pdf)");
        const QStringList filters{csv, csvSemicolon, xlsx, txt, html, pdf};
        const QStringList formats{QStringLiteral("csv"), QStringLiteral("csv"),  QStringLiteral("xlsx"),
                                  QStringLiteral("txt"), QStringLiteral("html"), QStringLiteral("pdf")};
        QString chosen = csv;
        if (proposed.format == u"csv")
            chosen = proposed.separator == u';' ? csvSemicolon : csv;
        else if (const qsizetype at = formats.indexOf(proposed.format); at >= 0)
            chosen = filters.at(at);
        const QString file
            = QFileDialog::getSaveFileName(parent, QStringLiteral("Guardar Como"), proposed.fileName,
                                           filters.join(QStringLiteral(";;")), &chosen);
        if (file.isEmpty())
            return std::nullopt;
        const qsizetype index = std::max<qsizetype>(0, filters.indexOf(chosen));
        SaveTarget target = saveTargetFor(file, formats.at(index));
        if (chosen == csvSemicolon)
            target.separator = QLatin1Char(';');
        return target;
    }

    int sortDialog(QWidget *parent, const DataWindow &dw, QString &criteria) override
    {
        return runSortDialog(parent, dw, criteria);
    }

    int filterDialog(QWidget *parent, const DataWindow &dw, QString &expression) override
    {
        return runFilterDialog(parent, dw, expression);
    }

    ColumnsAnswer chooseColumns(QWidget *parent, QList<ColumnChoice> &columns) override
    {
        if (headless())
            return ColumnsAnswer::Cancelled;
        ColumnsDialog dialog(columns, parent);
        switch (dialog.exec()) {
        case QDialog::Accepted:
            columns = dialog.choices();
            return ColumnsAnswer::Confirmed;
        case ColumnsDialog::ResetCode:
            return ColumnsAnswer::Reset;
        default:
            return ColumnsAnswer::Cancelled;
        }
    }

    bool keyDown(int virtualKey) override
    {
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        if (virtualKey == 17)
            return held.testFlag(Qt::ControlModifier);
        if (virtualKey == 16)
            return held.testFlag(Qt::ShiftModifier);
        return false;
    }

    QAction *popMenu(QMenu &menu, const QPoint &globalPos) override
    {
        return menu.exec(globalPos);
    }

    std::optional<QString> chooseFolder(QWidget *parent, const QString &question, const QString &explanation,
                                        const QString &startFolder) override
    {
        if (headless())
            return std::nullopt;
        QFileDialog dialog(parent, question, startFolder);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        // Qt's own dialog (where the system offers none) shows the question and the
        // explanation above its lists; a native dialog has only its title for the question.
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
            auto *label = new QLabel(
                u"<p><b>%1</b></p><p>%2</p>"_s.arg(question.toHtmlEscaped(), explanation.toHtmlEscaped()),
                &dialog);
            label->setTextFormat(Qt::RichText);
            label->setWordWrap(true);
            addAbove(*grid, label);
            // Wide enough for the explanation in three lines and the dates in the list.
            dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 460)));
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

} // namespace

void useQtInteraction()
{
    static QtInteraction qt;
    setStandardInteraction(&qt);
}

} // namespace dw
