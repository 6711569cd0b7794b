#include "datawindowcontrol.h"
#include "datawindowcontrol_p.h"
#include "qtinteraction.h"

#include "documentfolder.h"
#include "fonts.h"
#include "interaction.h"
#include "printjob.h"
#include "saveas.h"
#include "units.h"

#include <QDir>
#include <QScrollBar>

#include <cmath>

namespace dw {

namespace {

// The window message the control is handling while the pointer leaves it.
constexpr quint32 kMouseLeaveMessage = 675;

} // namespace

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
    if (d->inRetrieve)
        return -1; // its rows belong to the retrieval under way
    d->inRetrieve = true;
    d->reading.start();
    const long rows = d->model.Retrieve(arguments);
    d->reading.finish();
    d->inRetrieve = false;
    // A failed retrieval leaves the rows, and the place in them, as they were.
    if (rows >= 0)
        d->view.setTopRow(0);
    d->refresh(false);
    emit retrieveFinished();
    return rows;
}

bool DataWindowControl::isRetrieving() const
{
    return d->inRetrieve;
}

void DataWindowControl::StopReading()
{
    d->model.StopReading();
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
    const std::optional<SaveTarget> target
        = interaction().askSaveAs(this, proposedSaveTarget(documentFileBaseName(d->model)));
    if (!target)
        return -1;
    rememberSaveTarget(*target);
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
long DataWindowControl::selectall()
{
    return 0;
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

} // namespace dw
