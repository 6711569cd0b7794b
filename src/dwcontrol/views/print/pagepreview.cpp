#include "pagepreview.h"

#include "printjob.h"
#include "units.h"
#include "zoomsteps.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace dw {
namespace {

constexpr int pageGap = 16; // pixels of grey around and between pages
const QColor deskColor(128, 128, 128); // the grey the pages lie on

// The pages, one under the other, zoomed so a page fills the width; only the pages
// that cross the exposed area are painted, so a long list shows at once.
class PageCanvas final : public QWidget
{
public:
    explicit PageCanvas(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void setRenderer(const PageRenderer *renderer) { m_renderer = renderer; }

    // Lays the pages out `zoom` times as wide as fits the viewport's width; returns the
    // size the pages need.
    QSize layOut(int viewportWidth, double zoom)
    {
        if (!m_renderer)
            return {};
        const QSizeF paper = m_renderer->paperSizeUnits();
        const double paperWidthPx = std::max(1.0, units::toPixelsX(paper.width()));
        m_pageWidth = std::max(50.0, double(viewportWidth - 2 * pageGap)) * zoom;
        m_dpi = 96.0 * m_pageWidth / paperWidthPx;
        m_pageHeight = units::toPixelsY(paper.height(), m_dpi);
        const int count = m_renderer->pageCount();
        return {int(std::ceil(m_pageWidth + 2 * pageGap)),
                int(std::ceil(count * (m_pageHeight + pageGap) + pageGap))};
    }

    [[nodiscard]] double pageStride() const { return m_pageHeight + pageGap; }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), deskColor);
        if (!m_renderer || m_pageHeight <= 0)
            return;
        const QRect exposed = event->rect();
        const int count = m_renderer->pageCount();
        const int firstPage = std::clamp(int((exposed.top() - pageGap) / pageStride()), 0, count - 1);
        for (int page = firstPage; page < count; ++page) {
            const QRectF sheet(pageGap, pageGap + page * pageStride(), m_pageWidth, m_pageHeight);
            if (sheet.top() > exposed.bottom())
                break;
            painter.fillRect(sheet.translated(3, 3), QColor(80, 80, 80)); // a shadow
            painter.save();
            painter.setClipRect(sheet);
            painter.translate(sheet.topLeft());
            painter.setRenderHint(QPainter::Antialiasing, false);
            m_renderer->paintPage(painter, page, m_dpi, m_dpi);
            painter.restore();
        }
    }

private:
    const PageRenderer *m_renderer = nullptr;
    double m_pageWidth = 0;
    double m_pageHeight = 0;
    double m_dpi = 96.0;
};

} // namespace

struct PagePreview::Impl
{
    explicit Impl(const DataWindow &window) : dw(window) {}

    const DataWindow &dw;
    std::unique_ptr<PageRenderer> renderer;
    QScrollArea *area = nullptr;
    PageCanvas *canvas = nullptr;
    double zoom = 1.0; // 1 fits a page to the width

    void fit()
    {
        const QSize viewport = area->viewport()->size();
        const QSize needed = canvas->layOut(viewport.width(), zoom);
        canvas->resize(std::max(needed.width(), viewport.width()),
                       std::max(needed.height(), viewport.height()));
        area->verticalScrollBar()->setSingleStep(std::max(20, int(canvas->pageStride() / 20)));
        canvas->update();
    }

    // Zooms keeping the same place of the pages in view.
    void setZoom(double wanted)
    {
        const double next = dw::zoom::clamped(wanted);
        if (std::abs(next - zoom) < 1e-9)
            return;
        QScrollBar *vertical = area->verticalScrollBar();
        QScrollBar *horizontal = area->horizontalScrollBar();
        const double down = vertical->maximum() > 0 ? double(vertical->value()) / vertical->maximum() : 0;
        const double across
            = horizontal->maximum() > 0 ? double(horizontal->value()) / horizontal->maximum() : 0;
        zoom = next;
        fit();
        vertical->setValue(int(std::lround(down * vertical->maximum())));
        horizontal->setValue(int(std::lround(across * horizontal->maximum())));
    }
};

PagePreview::PagePreview(const DataWindow &dw, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<Impl>(dw))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->area = new QScrollArea(this);
    d->area->setWidgetResizable(false);
    d->area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    d->area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d->area->setFrameShape(QFrame::NoFrame);
    d->canvas = new PageCanvas(d->area);
    d->area->setWidget(d->canvas);
    d->area->viewport()->installEventFilter(this);
    d->area->installEventFilter(this);
    layout->addWidget(d->area);
    setFocusProxy(d->area);
    refresh();
}

PagePreview::~PagePreview() = default;

void PagePreview::refresh()
{
    // The canvas must not paint with a renderer that is being replaced.
    d->canvas->setRenderer(nullptr);
    d->renderer = std::make_unique<PageRenderer>(d->dw, printedPageLayout(d->dw, chosenPageLayout()));
    d->canvas->setRenderer(d->renderer.get());
    d->fit();
}

int PagePreview::pageCount() const
{
    return d->renderer ? d->renderer->pageCount() : 0;
}

double PagePreview::zoom() const
{
    return d->zoom;
}

void PagePreview::setZoom(double zoom)
{
    d->setZoom(zoom);
}

bool PagePreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->area->viewport() && event->type() == QEvent::Resize)
        d->fit();
    // Ctrl+wheel and Ctrl++ / Ctrl+- zoom; Ctrl+0 fits the width again.
    if (watched == d->area->viewport() && event->type() == QEvent::Wheel) {
        if (const auto next = dw::zoom::afterWheel(*static_cast<QWheelEvent *>(event), d->zoom)) {
            d->setZoom(*next);
            return true;
        }
    }
    if (watched == d->area && event->type() == QEvent::KeyPress) {
        if (const auto next = dw::zoom::afterKey(*static_cast<QKeyEvent *>(event), d->zoom)) {
            d->setZoom(*next);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace dw
