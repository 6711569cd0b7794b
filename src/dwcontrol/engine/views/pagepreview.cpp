#include "views/pagepreview.h"

#include "interaction.h"
#include "views/units.h"

#include <QPainter>
#include <QPaintEvent>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

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

    // Fits the pages to a viewport width; returns the height the pages need.
    int layOut(int viewportWidth)
    {
        if (!m_renderer)
            return 0;
        const QSizeF paper = m_renderer->paperSizeUnits();
        const double paperWidthPx = std::max(1.0, units::toPixelsX(paper.width()));
        m_pageWidth = std::max(50.0, double(viewportWidth - 2 * pageGap));
        m_dpi = 96.0 * m_pageWidth / paperWidthPx;
        m_pageHeight = units::toPixelsY(paper.height(), m_dpi);
        const int count = m_renderer->pageCount();
        return int(std::ceil(count * (m_pageHeight + pageGap) + pageGap));
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

    void fit()
    {
        const int width = area->viewport()->width();
        const int height = canvas->layOut(width);
        canvas->resize(width, std::max(height, area->viewport()->height()));
        area->verticalScrollBar()->setSingleStep(std::max(20, int(canvas->pageStride() / 20)));
        canvas->update();
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
    d->area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d->area->setFrameShape(QFrame::NoFrame);
    d->canvas = new PageCanvas(d->area);
    d->area->setWidget(d->canvas);
    d->area->viewport()->installEventFilter(this);
    layout->addWidget(d->area);
    setFocusProxy(d->area);
    refresh();
}

PagePreview::~PagePreview() = default;

void PagePreview::refresh()
{
    // The canvas must not paint with a renderer that is being replaced.
    d->canvas->setRenderer(nullptr);
    d->renderer = std::make_unique<PageRenderer>(d->dw, selectedPrinter().pageLayout());
    d->canvas->setRenderer(d->renderer.get());
    d->fit();
}

int PagePreview::pageCount() const
{
    return d->renderer ? d->renderer->pageCount() : 0;
}

bool PagePreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->area->viewport() && event->type() == QEvent::Resize)
        d->fit();
    return QWidget::eventFilter(watched, event);
}

} // namespace dw
