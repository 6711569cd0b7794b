#include "datawindowcontrol.h"
#include "qtinteraction.h"

#include "columndrag.h"
#include "columnorder.h"
#include "documentfolder.h"
#include "fonts.h"
#include "gridcanvas.h"
#include "gridview.h"
#include "interaction.h"
#include "objectgeometry.h"
#include "pagepreview.h"
#include "printjob.h"
#include "readingfeedback.h"
#include "rowscopy.h"
#include "saveas.h"
#include "tooltiptext.h"
#include "units.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>

#include <array>
#include <cmath>

namespace dw {

namespace {

// The window message the control is handling while the pointer leaves it.
constexpr quint32 kMouseLeaveMessage = 675;
// How long a cell's tool tip stays when the layout does not say.
constexpr int kToolTipMilliseconds = 32000;

} // namespace

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
    }
    void retrieving() override { reading.tick(); }
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
    bool redraw = true;
    bool layoutDirty = true;
    ReadingFeedback reading{[this](bool on) { emit q.readingChanged(on); }};
    bool syncing = false; // scroll bars being set from the view, not by the user
    quint32 message = 0;
};

DataWindowControl::Impl::Impl(DataWindowControl &control) : q(control)
{
    ensureLayoutFonts();
    canvas = new GridCanvas(view, *this, &q);
    drag = std::make_unique<ColumnDrag>(q, view, *canvas);
    vbar = new QScrollBar(Qt::Vertical, &q);
    for (auto &bar : hbars)
        bar = new QScrollBar(Qt::Horizontal, &q);
    handle = new SplitHandle(
        [this](int left) {
            view.setSplit(left);
            relayout();
            canvas->update();
        },
        &q);

    QObject::connect(vbar, &QScrollBar::valueChanged, &q, [this](int value) {
        if (syncing)
            return;
        view.setTopRow(value);
        canvas->update();
    });
    for (int pane = 0; pane < 2; ++pane) {
        QObject::connect(hbars[size_t(pane)], &QScrollBar::valueChanged, &q, [this, pane](int value) {
            if (syncing)
                return;
            view.setHorizontalOffset(pane, value);
            canvas->update();
        });
    }
    model.setObserver(this);
}

QPoint DataWindowControl::Impl::toUnits(QPoint pixel) const
{
    return {int(std::lround(units::toUnitsX(pixel.x(), view.dpiX()))),
            int(std::lround(units::toUnitsY(pixel.y(), view.dpiY())))};
}

void DataWindowControl::Impl::refresh(bool layout)
{
    layoutDirty = layoutDirty || layout;
    if (!redraw)
        return; // SetRedraw(true) catches up once
    syncPreview();
    if (preview) {
        preview->refresh();
        return;
    }
    relayout();
    canvas->update();
}

void DataWindowControl::Impl::syncPreview()
{
    const bool wanted = model.Describe(QStringLiteral("DataWindow.Print.Preview"))
                            .trimmed()
                            .compare(u"yes", Qt::CaseInsensitive)
        == 0;
    if (wanted && !preview) {
        preview = new PagePreview(model, &q);
        preview->setGeometry(q.rect());
        preview->show();
        canvas->hide();
        vbar->hide();
        for (auto *bar : hbars)
            bar->hide();
        handle->hide();
    } else if (!wanted && preview) {
        delete preview.data();
        canvas->show();
        layoutDirty = true;
    }
}

void DataWindowControl::Impl::relayout()
{
    if (preview) {
        preview->setGeometry(q.rect());
        return;
    }
    if (layoutDirty) {
        view.refreshMetrics(q.logicalDpiX(), q.logicalDpiY());
        layoutDirty = false;
    }
    const int extent = q.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &q);
    const QSize outer = q.size();
    bool showV = false;
    bool showH = false;
    // Each bar takes room from the other's direction: settle in two passes.
    for (int pass = 0; pass < 2; ++pass) {
        view.setViewportSize({std::max(0, outer.width() - (showV ? extent : 0)),
                              std::max(0, outer.height() - (showH ? extent : 0))});
        view.setSplit(view.split());
        showV = verticalBar && view.maxTopRow() > 0;
        showH = horizontalBar && (view.split() > 0 || view.maxHorizontalOffset(0) > 0);
    }
    const QSize inner = view.viewportSize();
    canvas->setGeometry(0, 0, inner.width(), inner.height());

    vbar->setVisible(showV);
    if (showV)
        vbar->setGeometry(inner.width(), 0, extent, inner.height());

    const int grip = GridView::kSplitterWidth;
    const bool split = view.split() > 0;
    handle->setVisible(showH && splitScroll);
    hbars[0]->setVisible(showH);
    hbars[1]->setVisible(showH && split);
    if (showH) {
        const int y = inner.height();
        if (split) {
            hbars[0]->setGeometry(0, y, view.split(), extent);
            handle->setGeometry(view.split(), y, grip, extent);
            hbars[1]->setGeometry(view.split() + grip, y, std::max(0, inner.width() - view.split() - grip),
                                  extent);
        } else if (splitScroll) {
            handle->setGeometry(0, y, grip, extent);
            hbars[0]->setGeometry(grip, y, std::max(0, inner.width() - grip), extent);
        } else {
            hbars[0]->setGeometry(0, y, inner.width(), extent);
        }
    }
    syncScrollBars();
}

void DataWindowControl::Impl::syncScrollBars()
{
    syncing = true;
    vbar->setRange(0, int(std::min<long>(view.maxTopRow(), std::numeric_limits<int>::max())));
    vbar->setPageStep(int(view.visibleRows()));
    vbar->setSingleStep(1);
    vbar->setValue(int(view.topRow()));
    for (int pane = 0; pane < view.paneCount(); ++pane) {
        QScrollBar *bar = hbars[size_t(pane)];
        bar->setRange(0, view.maxHorizontalOffset(pane));
        bar->setPageStep(std::max(1, view.paneRect(pane).width()));
        bar->setSingleStep(20);
        bar->setValue(view.horizontalOffset(pane));
    }
    syncing = false;
}

void DataWindowControl::Impl::moveToRow(long row)
{
    const long count = model.RowCount();
    if (count <= 0)
        return;
    row = std::clamp(row, 1L, count);
    if (row == model.GetRow()) {
        q.ScrollToRow(row);
        return;
    }
    model.SetRow(row);
    q.ScrollToRow(row);
    canvas->update();
    q.rowfocuschanged(row);
}

void DataWindowControl::Impl::raiseClicked(QPoint at, const HitResult &hit)
{
    // The click is raised first; the clicked row becomes current after it.
    q.clicked(at.x(), at.y(), hit.row, hit.dwo);
    if (hit.row > 0 && hit.dwo.type == u"column")
        currentColumn = hit.dwo.name;
    if (hit.row > 0 && hit.row <= model.RowCount() && hit.row != model.GetRow()) {
        model.SetRow(hit.row);
        view.scrollToRow(hit.row);
        syncScrollBars();
        canvas->update();
        q.rowfocuschanged(hit.row);
    }
}

void DataWindowControl::Impl::canvasMouseEvent(QMouseEvent *event)
{
    const QPoint pixel = event->position().toPoint();
    const HitResult hit = view.hitTest(pixel);
    const QPoint at = toUnits(canvas->mapTo(&q, pixel));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        q.setFocus(Qt::MouseFocusReason);
        if (event->button() == Qt::LeftButton) {
            pendingClick.reset();
            if (drag->press(pixel))
                pendingClick = PendingClick{at, hit};
            else
                raiseClicked(at, hit);
        } else if (event->button() == Qt::RightButton) {
            drag->cancel();
            q.rbuttondown(at.x(), at.y(), hit.row, hit.dwo);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton) {
            const bool dragged = drag->release(pixel);
            const std::optional<PendingClick> click = std::exchange(pendingClick, std::nullopt);
            if (click && !dragged)
                raiseClicked(click->at, click->hit);
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (event->button() != Qt::LeftButton)
            break;
        if (drag->doubleClick(pixel))
            pendingClick.reset(); // a double click on a border fits, it never sorts
        else
            q.doubleclicked(at.x(), at.y(), hit.row, hit.dwo);
        break;
    case QEvent::MouseMove:
        if (!drag->move(pixel))
            q.mousemove(at.x(), at.y(), hit.row, hit.dwo);
        break;
    default:
        break;
    }
}

void DataWindowControl::Impl::canvasPaintOver(QPainter &painter)
{
    const int marker = drag->dropMarker();
    if (marker < 0)
        return;
    painter.fillRect(QRect(marker - 1, 0, 3, view.viewportSize().height()),
                     canvas->palette().color(QPalette::Highlight));
}

void DataWindowControl::Impl::canvasWheelEvent(QWheelEvent *event)
{
    const QPoint steps = event->angleDelta() / 120;
    if (steps.y() != 0 && vbar->isVisible())
        vbar->setValue(vbar->value() - steps.y() * 3);
    else if (steps.x() != 0 && hbars[0]->isVisible())
        hbars[0]->setValue(hbars[0]->value() - steps.x() * hbars[0]->singleStep());
    event->accept();
}

bool DataWindowControl::Impl::canvasToolTip(QHelpEvent *event)
{
    const HitResult hit = view.hitTest(event->pos());
    if (!hit.object || hit.row <= 0 || objectType(*hit.object) != u"column") {
        QToolTip::hideText();
        return false;
    }
    const ObjectAttributes attributes(model, *hit.object, hit.row);
    if (!attributes.flag(QStringLiteral("tooltip.enabled"))) {
        QToolTip::hideText();
        return false;
    }
    const QString tip = attributes.text(QStringLiteral("tooltip.tip"));
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    const int shown = int(attributes.number(QStringLiteral("tooltip.delay.visible"), kToolTipMilliseconds));
    const QScreen *screen = canvas->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QToolTip::showText(event->globalPos(), boundedToolTip(tip, QToolTip::font(), available), canvas, QRect(),
                       shown > 0 ? shown : kToolTipMilliseconds);
    return true;
}

// --- the control --------------------------------------------------------------------

DataWindowControl::DataWindowControl(QWidget *parent) : QWidget(parent), d(std::make_unique<Impl>(*this))
{
    useQtInteraction();
    setFocusPolicy(Qt::StrongFocus);
    d->relayout();
}

DataWindowControl::~DataWindowControl()
{
    d->model.setObserver(nullptr);
    // The canvas, the bars and the preview refer to the model and the view; they go
    // before them rather than with QWidget's own clean-up, which runs after.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

QString DataWindowControl::dataobject() const
{
    return d->dataObjectName;
}

void DataWindowControl::setDataObject(const QString &name)
{
    d->dataObjectName = name;
    d->model.setDataObject(name);
    d->view.setTopRow(0);
    d->view.setHorizontalOffset(0, 0);
    d->view.setHorizontalOffset(1, 0);
    d->refresh(true);
}

DataWindow &DataWindowControl::model()
{
    return d->model;
}
const DataWindow &DataWindowControl::model() const
{
    return d->model;
}

void DataWindowControl::setScrollBars(bool horizontal, bool vertical)
{
    d->horizontalBar = horizontal;
    d->verticalBar = vertical;
    d->relayout();
}

void DataWindowControl::setHSplitScroll(bool on)
{
    d->splitScroll = on;
    if (!on)
        d->view.setSplit(0);
    d->relayout();
    d->canvas->update();
}

void DataWindowControl::setLiveScroll(bool on)
{
    d->vbar->setTracking(on);
    for (auto *bar : d->hbars)
        bar->setTracking(on);
}

void DataWindowControl::Move(int x, int y)
{
    move(int(std::lround(units::toPixelsX(x, logicalDpiX()))),
         int(std::lround(units::toPixelsY(y, logicalDpiY()))));
}

void DataWindowControl::Resize(int width, int height)
{
    QWidget::resize(int(std::lround(units::toPixelsX(width, logicalDpiX()))),
                    int(std::lround(units::toPixelsY(height, logicalDpiY()))));
}

int DataWindowControl::Width() const
{
    return int(std::lround(units::toUnitsX(width(), logicalDpiX())));
}
int DataWindowControl::Height() const
{
    return int(std::lround(units::toUnitsY(height(), logicalDpiY())));
}
quint32 DataWindowControl::currentMessage() const
{
    return d->message;
}

QString DataWindowControl::Modify(const QString &commands)
{
    const QString result = d->model.Modify(commands);
    d->refresh(true);
    return result;
}

int DataWindowControl::SetTransObject(Transaction *transaction)
{
    return d->model.SetTransObject(transaction);
}

long DataWindowControl::Retrieve(const std::vector<Value> &arguments)
{
    d->view.setTopRow(0);
    d->reading.start();
    const long rows = d->model.Retrieve(arguments);
    d->reading.finish();
    d->refresh(false);
    return rows;
}

int DataWindowControl::SetSQLPreview(const QString &sql)
{
    return d->model.SetSQLPreview(sql);
}

int DataWindowControl::SetRow(long row)
{
    const int result = d->model.SetRow(row);
    d->canvas->update();
    return result;
}

int DataWindowControl::ScrollToRow(long row)
{
    if (row < 0)
        return -1;
    d->view.scrollToRow(std::max(1L, row));
    d->syncScrollBars();
    d->canvas->update();
    return 1;
}

int DataWindowControl::SelectRow(long row, bool select)
{
    const int result = d->model.SelectRow(row, select);
    d->canvas->update();
    return result;
}

int DataWindowControl::SetSort(const QString &criteria)
{
    return d->model.SetSort(criteria);
}

int DataWindowControl::Sort()
{
    const int result = d->model.Sort();
    d->refresh(false);
    return result;
}

int DataWindowControl::SetFilter(const QString &expression)
{
    return d->model.SetFilter(expression);
}

int DataWindowControl::Filter()
{
    const int result = d->model.Filter();
    d->refresh(false);
    return result;
}

int DataWindowControl::SetRedraw(bool on)
{
    if (d->redraw == on)
        return 1;
    d->redraw = on;
    d->canvas->setUpdatesEnabled(on);
    if (on)
        d->refresh(false);
    return 1;
}

bool DataWindowControl::redrawOn() const
{
    return d->redraw;
}

int DataWindowControl::SetPosition(const QString &object, const QString &band, bool toFront)
{
    const int result = d->model.SetPosition(object, band, toFront);
    d->canvas->update();
    return result;
}

int DataWindowControl::Print()
{
    QString error;
    const int result = printJob(d->model, this, &error);
    if (result == -1) {
        const QString title = window()->windowTitle();
        interaction().messageBox(this, title.isEmpty() ? QStringLiteral("Imprimir") : title,
                                 QStringLiteral("No se pudo imprimir.\n%1").arg(error));
    }
    return result == 1 ? 1 : -1;
}

int DataWindowControl::SaveAs()
{
    const QString suggested = proposedFilePath(documentFileBaseName(d->model), QStringLiteral("csv"));
    const std::optional<SaveTarget> target = interaction().askSaveAs(this, suggested);
    if (!target)
        return -1;
    rememberFolderOf(target->fileName);
    QString error;
    if (!saveRows(d->model, *target, &error)) {
        interaction().messageBox(this, QStringLiteral("Guardar Como"),
                                 QStringLiteral("No se pudo guardar el archivo %1.\n%2")
                                     .arg(QDir::toNativeSeparators(target->fileName), error));
        return -1;
    }
    return 1;
}

long DataWindowControl::clicked(int, int, long, const DwObjectRef &)
{
    return 0;
}
long DataWindowControl::doubleclicked(int, int, long, const DwObjectRef &)
{
    return 0;
}
long DataWindowControl::rbuttondown(int, int, long, const DwObjectRef &)
{
    return 0;
}
long DataWindowControl::mousemove(int, int, long, const DwObjectRef &)
{
    return 0;
}
long DataWindowControl::rowfocuschanged(long)
{
    return 0;
}
long DataWindowControl::retrieveend(long)
{
    return 0;
}
long DataWindowControl::resize(quint32, int, int)
{
    return 0;
}
long DataWindowControl::other(quint32, qint64)
{
    return 0;
}
long DataWindowControl::sqlpreview(int, int, const QString &, int, long)
{
    return 0;
}
long DataWindowControl::columnlayoutchanged()
{
    return 0;
}
long DataWindowControl::columnautofit(const QString &)
{
    return 0;
}

void DataWindowControl::copyRowsToClipboard()
{
    std::vector<long> rows;
    const long count = d->model.RowCount();
    for (long row = 1; row <= count; ++row) {
        if (d->model.IsSelected(row))
            rows.push_back(row);
    }
    if (rows.empty() && d->model.GetRow() > 0)
        rows.push_back(d->model.GetRow());
    if (rows.empty())
        return;
    const CopiedRows copied = copyRows(d->model, rows);
    auto mime = std::make_unique<QMimeData>();
    mime->setText(copied.text);
    mime->setHtml(copied.html);
    QGuiApplication::clipboard()->setMimeData(mime.release()); // the clipboard owns it
}

void DataWindowControl::popupAtCurrentRow()
{
    if (d->preview)
        return;
    // Without a row the menu opens for the grid as a whole, under the header.
    const long row = d->model.GetRow();
    DwObjectRef dwo;
    QPoint pixel(1, d->view.headerHeight());
    const std::vector<GridColumn> columns = visibleColumns(d->model);
    if (row > 0 && !columns.empty()) {
        const GridColumn *column = &columns.front();
        for (const GridColumn &candidate : columns) {
            if (candidate.name.compare(d->currentColumn, Qt::CaseInsensitive) == 0)
                column = &candidate;
        }
        dwo = DwObjectRef{column->name, QStringLiteral("column"), QStringLiteral("detail")};
        ScrollToRow(row);
        // Near the cell's left edge, kept inside the pane when the cell is scrolled away.
        const QRect pane = d->view.paneRect(0);
        const int x
            = std::clamp(d->view.pixelXOf(0, column->x) + 8, pane.left() + 1, std::max(1, pane.right() - 1));
        pixel = QPoint(x, d->view.rowRect(0, row).center().y());
    }
    const QPoint at = d->toUnits(d->canvas->mapTo(this, pixel));
    rbuttondown(at.x(), at.y(), dwo.name == u"datawindow" ? 0 : row, dwo);
}

DwObjectRef DataWindowControl::objectAt(const QPoint &pixel, long *row) const
{
    HitResult hit;
    if (!d->preview)
        hit = d->view.hitTest(d->canvas->mapFrom(this, pixel));
    if (row)
        *row = hit.row;
    return hit.dwo;
}

void DataWindowControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    d->view.setFocusFrame(true);
    d->canvas->update();
}

void DataWindowControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    d->view.setFocusFrame(false);
    d->canvas->update();
}

void DataWindowControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->relayout();
    resize(0, Width(), Height());
}

void DataWindowControl::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    // The pointer leaving is the one message without an event of its own here.
    d->message = kMouseLeaveMessage;
    other(0, 0);
    d->message = 0;
}

void DataWindowControl::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_C || event->key() == Qt::Key_Insert) && modifiers == Qt::ControlModifier) {
        copyRowsToClipboard();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)
        || (event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)) {
        popupAtCurrentRow();
        event->accept();
        return;
    }
    const long current = d->model.GetRow();
    const long page = d->view.visibleRows();
    switch (event->key()) {
    case Qt::Key_Up:
        d->moveToRow(current - 1);
        break;
    case Qt::Key_Down:
        d->moveToRow(current + 1);
        break;
    case Qt::Key_PageUp:
        d->moveToRow(current - page);
        break;
    case Qt::Key_PageDown:
        d->moveToRow(current + page);
        break;
    case Qt::Key_Home:
        d->moveToRow(1);
        break;
    case Qt::Key_End:
        d->moveToRow(d->model.RowCount());
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace dw
