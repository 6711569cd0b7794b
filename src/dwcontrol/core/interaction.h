#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class QAction;
class QMenu;
class QPrinter;
class QWidget;

namespace dw {

class DataWindow;

// Where SaveAs writes: the chosen file and one of the engine's save formats.
struct SaveTarget
{
    QString fileName;
    QString format; // "csv", "txt", "html", "xlsx", "pdf"
    QChar separator = QLatin1Char(','); // of "csv": ',' or ';'
};

// A column as the column chooser lists it: its name, its heading, and whether it shows.
struct ColumnChoice
{
    QString name;
    QString caption;
    bool visible = true;
};

// How the column chooser was closed.
enum class ColumnsAnswer {
    Cancelled,
    Confirmed, // the visible flags of the choices are the user's
    Reset, // back to the designed columns, widths and order
};

// Every call that opens a dialog or asks the user goes through this one interface,
// so tests replace it and never block on a modal dialog. The views install the
// implementation with Qt's real dialogs; without them every question is answered as
// cancelled and messages go to the log.
class Interaction
{
public:
    virtual ~Interaction() = default;

    // A modal message box with an information icon and one OK button.
    virtual void messageBox(QWidget *parent, const QString &title, const QString &text) = 0;
    // The printer selection dialog over the printer of one print job, which it sets up
    // (the printer, the paper, or a PDF file to print to); -1 when it cannot be shown,
    // 1 when confirmed, 0 when cancelled. With `offerSelection` the dialog also offers to
    // print only the selected rows; the printer's print range is QPrinter::Selection
    // when the user chose that.
    virtual int printerSetup(QWidget *parent, QPrinter &printer, bool offerSelection) = 0;
    // Asks for a file and a format, proposing `proposed` (the file, with its format's
    // extension, and that format selected); nothing when the user cancels.
    virtual std::optional<SaveTarget> askSaveAs(QWidget *parent, const SaveTarget &proposed) = 0;
    // The sort dialog: shows the criteria in force, returns 1 and the new criteria
    // ("col A, col2 D") on confirm, anything else on cancel.
    virtual int sortDialog(QWidget *parent, const DataWindow &dw, QString &criteria) = 0;
    // The filter dialog: edits an expression, checked before it is accepted; 1 on confirm.
    virtual int filterDialog(QWidget *parent, const DataWindow &dw, QString &expression) = 0;
    // Whether a key is down while an event is handled: 17 Ctrl, 16 Shift.
    [[nodiscard]] virtual bool keyDown(int virtualKey) = 0;
    // Shows a popup menu at a global position, modally; the chosen action (or null).
    // The action's triggered() has run when this returns.
    virtual QAction *popMenu(QMenu &menu, const QPoint &globalPos) = 0;
    // The system's folder chooser, titled with a question and, where the dialog has room
    // for it, a short explanation; it opens in `startFolder`. The chosen folder, or
    // nothing when the user cancels or no dialog can be shown (the standard answer).
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &question,
                                                const QString &explanation, const QString &startFolder);
    // The column chooser: a check box per column, at least one of them left checked.
    // On Confirmed, `columns` carries the flags the user chose. Cancelled when no dialog
    // can be shown (the standard answer).
    virtual ColumnsAnswer chooseColumns(QWidget *parent, QList<ColumnChoice> &columns);
};

// The interaction in force: a replacement when one is installed, else the standard one.
[[nodiscard]] Interaction &interaction();
// Installs a replacement (not owned); null restores the standard implementation.
void setInteraction(Interaction *replacement);
// Sets the standard implementation (not owned), the one in force without a replacement.
void setStandardInteraction(Interaction *standard);

} // namespace dw
