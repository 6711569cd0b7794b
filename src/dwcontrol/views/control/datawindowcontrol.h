#pragma once

// views/control: the data window control, the widget the program's windows hold. It ties
// the model to the grid or the page preview, turns mouse and keyboard input into the
// control's events, and runs printing, saving and the dialogs on request. Keyboard,
// clipboard, popup placement, tool tips and column dragging sit beside it in files of
// their own.

#include "datawindow.h"

#include <QWidget>

#include <memory>

namespace dw {

class Transaction;

// The data window control: a widget that shows a DataWindow (grid view, or pages when
// "DataWindow.Print.Preview" is "yes") and raises its events. Events are virtual: a
// subclass extends one by calling the base first, or replaces it by not calling it.
// Positions in events are layout units (DESIGN.md: 1 px = 32/7 units across and 4
// down at 96 dpi). The operations keep the runtime's names.
class DataWindowControl : public QWidget
{
    Q_OBJECT
public:
    explicit DataWindowControl(QWidget *parent = nullptr);
    ~DataWindowControl() override;

    // --- properties -------------------------------------------------------------
    [[nodiscard]] QString dataobject() const;
    void setDataObject(const QString &name);
    [[nodiscard]] DataWindow &model();
    [[nodiscard]] const DataWindow &model() const;
    void setScrollBars(bool horizontal, bool vertical);
    void setHSplitScroll(bool on);
    void setLiveScroll(bool on);
    // Control geometry in layout units.
    void Move(int x, int y);
    void Resize(int width, int height);
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;
    // How large the grid shows its layout, 1 being the designed size: rows, headings and
    // their texts grow together, while the positions events report stay the control's own.
    // Ctrl+wheel, Ctrl++, Ctrl+- and Ctrl+0 change it by the zoom steps (zoomsteps.h).
    // Printing and the page preview keep the designed size.
    [[nodiscard]] double zoom() const;
    // Kept within the steps' limits; raises zoomchanged when the zoom changes.
    void setZoom(double zoom);
    // The resolution the grid paints and measures its texts at: the control's own times
    // the zoom.
    [[nodiscard]] double paintDpiX() const;
    [[nodiscard]] double paintDpiY() const;
    // The number of the window message being handled (675: the pointer left the control).
    [[nodiscard]] quint32 currentMessage() const;

    // --- operations (forwarded to the model, repainting as needed) ---------------
    QString Describe(const QString &paths) const { return model().Describe(paths); }
    QString Modify(const QString &commands);
    int SetTransObject(Transaction *transaction);
    // -1 at once while a retrieval of this control runs (see StopReading).
    long Retrieve(const std::vector<Value> &arguments = {});
    // True from the start of Retrieve until it returns.
    [[nodiscard]] bool isRetrieving() const;
    // Stops the retrieval in progress at its next batch of rows; the rows read so far stay.
    void StopReading();
    int SetSQLPreview(const QString &sql);
    long RowCount() const { return model().RowCount(); }
    long GetRow() const { return model().GetRow(); }
    int SetRow(long row);
    int ScrollToRow(long row);
    int SelectRow(long row, bool select);
    bool IsSelected(long row) const { return model().IsSelected(row); }
    QString GetItemString(long row, const QString &column) const
    {
        return model().GetItemString(row, column);
    }
    std::optional<double> GetItemNumber(long row, const QString &column) const
    {
        return model().GetItemNumber(row, column);
    }
    Value GetItem(long row, int column) const { return model().GetItem(row, column); }
    int SetSort(const QString &criteria);
    int Sort();
    int SetFilter(const QString &expression);
    int Filter();
    // While off, nothing is painted; turning it on repaints once.
    int SetRedraw(bool on);
    [[nodiscard]] bool redrawOn() const;
    int SetPosition(const QString &object, const QString &band, bool toFront);
    // Prints every page as one print job (see dw::printJob); 1 ok, -1 when cancelled or
    // failed, a failure told to the user with its reason.
    int Print();
    // Asks file and format through the interaction (proposing the table's name in the
    // folder used last) and writes the rows; 1 ok, -1 on failure (told to the user) or
    // cancel.
    int SaveAs();

    // --- events ------------------------------------------------------------------
    using QWidget::resize; // the resize event below must not hide QWidget::resize(w, h)
    virtual void constructor() {}
    virtual long clicked(int xpos, int ypos, long row, const DwObjectRef &dwo);
    virtual long doubleclicked(int xpos, int ypos, long row, const DwObjectRef &dwo);
    virtual long rbuttondown(int xpos, int ypos, long row, const DwObjectRef &dwo);
    virtual long mousemove(int xpos, int ypos, long row, const DwObjectRef &dwo);
    virtual long rowfocuschanged(long currentrow);
    virtual long retrieveend(long rowcount);
    virtual long resize(quint32 sizetype, int newwidth, int newheight);
    virtual long other(quint32 wparam, qint64 lparam);
    virtual long sqlpreview(int request, int sqltype, const QString &sqlsyntax, int buffer, long row);
    // The user resized or moved columns with the mouse; their X and Width are in place.
    virtual long columnlayoutchanged();
    // A double click on the right border of a column's heading asks for its width to fit
    // the values; the control itself measures nothing.
    virtual long columnautofit(const QString &column);
    // The grid's zoom changed, by the user or by setZoom.
    virtual long zoomchanged();
    // Ctrl+A asks for every row to be selected; the control selects nothing itself (a row
    // selection service decides what its style allows).
    virtual long selectall();

    // Copies the selected rows, or the current row when none is selected, to the
    // clipboard as text and as an HTML table (what Ctrl+C does).
    void copyRowsToClipboard();
    // Opens the context menu for the current row and column, as the keyboard asks it.
    void popupAtCurrentRow();
    // Raises doubleclicked on the current row, at the cell of the column clicked last, as
    // Ctrl+Enter asks it; nothing without a current row.
    void doubleClickCurrentRow();

    // The object and row under a point in widget pixels (what events report).
    [[nodiscard]] DwObjectRef objectAt(const QPoint &pixel, long *row = nullptr) const;

signals:
    // Rows were retrieved, filtered, sorted or selected: what the grid lists changed.
    void rowsChanged();
    // A retrieval has run long enough for the user to wonder (true: the busy cursor is
    // up and the window should say that it is reading), and has ended (false).
    void readingChanged(bool reading);
    // Retrieve has returned, whether it read every row, stopped or failed.
    void retrieveFinished();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Suspends painting of a control for a scope and, however the scope ends, puts back what
// it found: an early return cannot leave a grid frozen, and a suspension inside another
// one leaves painting off until the outer scope ends.
class RedrawSuspender
{
public:
    explicit RedrawSuspender(DataWindowControl &control) : m_control(control), m_wasOn(control.redrawOn())
    {
        m_control.SetRedraw(false);
    }
    ~RedrawSuspender() { m_control.SetRedraw(m_wasOn); }
    RedrawSuspender(const RedrawSuspender &) = delete;
    RedrawSuspender &operator=(const RedrawSuspender &) = delete;

private:
    DataWindowControl &m_control;
    const bool m_wasOn;
};

} // namespace dw
