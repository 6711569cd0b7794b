#pragma once

// The control's private state, shared by the files that implement the control: the
// control itself, its layout of scroll bars, its mouse, keyboard, clipboard, popup and
// tool tip handling.

#include "datawindowcontrol.h"

#include "columndrag.h"
#include "gridcanvas.h"
#include "gridview.h"
#include "pagepreview.h"
#include "readingfeedback.h"

#include <QPointer>

#include <array>
#include <optional>

class QScrollBar;

namespace dw {

struct DataWindowControl::Impl final : DataWindowObserver, CanvasHost
{
    explicit Impl(DataWindowControl &control);

    // --- DataWindowObserver --------------------------------------------------------
    void sqlPreview(int request, int sqlType, const QString &sqlSyntax, int buffer, long row) override
    {
        q.sqlpreview(request, sqlType, sqlSyntax, buffer, row);
    }
    void retrieveEnd(long rowCount) override
    {
        refresh(false);
        q.retrieveend(rowCount);
    }
    void layoutChanged() override { refresh(true); }
    void rowsChanged() override
    {
        refresh(false);
        emit q.rowsChanged();
        // The first rows of a retrieval are painted at once, the rest as they arrive.
        if (model.IsReading())
            reading.rowsArrived();
    }
    void retrieving(bool betweenRows) override { reading.tick(betweenRows); }
    [[nodiscard]] QWidget *dialogParent() const override { return &q; }

    // --- CanvasHost ------------------------------------------------------------------
    void canvasMouseEvent(QMouseEvent *event) override;
    void canvasWheelEvent(QWheelEvent *event) override;
    bool canvasToolTip(QHelpEvent *event) override;
    void canvasPaintOver(QPainter &painter) override;

    // Re-reads the layout (when it changed) and the rows, places the children, repaints.
    void refresh(bool layout);
    void relayout();
    void syncScrollBars();
    void syncPreview();
    void moveToRow(long row);
    [[nodiscard]] QPoint toUnits(QPoint controlPixel) const;
    // The cell the keyboard acts on: the current row's cell of the column clicked last
    // (else the first visible column), scrolled into view; none without a current row.
    struct KeyboardCell
    {
        long row;
        DwObjectRef dwo;
        QPoint at; // layout units, as events report positions
    };
    [[nodiscard]] std::optional<KeyboardCell> keyboardCell();
    void raiseClicked(QPoint at, const HitResult &hit);

    DataWindowControl &q;
    DataWindow model;
    GridView view{model};
    GridCanvas *canvas = nullptr;
    QScrollBar *vbar = nullptr;
    std::array<QScrollBar *, 2> hbars{};
    SplitHandle *handle = nullptr;
    std::unique_ptr<ColumnDrag> drag;
    // A press on a heading is a click only once it is released without a drag.
    struct PendingClick
    {
        QPoint at;
        HitResult hit;
    };
    std::optional<PendingClick> pendingClick;
    // The column the keyboard's context menu opens for: the last one clicked in a row.
    QString currentColumn;
    QPointer<PagePreview> preview;
    QString dataObjectName;
    bool horizontalBar = true;
    bool verticalBar = true;
    bool splitScroll = false;
    double zoom = 1.0;
    bool redraw = true;
    bool layoutDirty = true;
    ReadingFeedback reading{&q, [this](bool on) { emit q.readingChanged(on); }};
    bool inRetrieve = false; // Retrieve is on the stack
    bool syncing = false; // scroll bars being set from the view, not by the user
    quint32 message = 0;
};

} // namespace dw
