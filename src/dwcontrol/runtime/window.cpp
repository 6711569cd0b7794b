#include "window.h"

#include "datawindowcontrol.h"
#include "objectpainter.h"
#include "registry.h"
#include "units.h"
#include "windowplacement.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>

#include <cmath>

namespace rt {
namespace {

QScreen *screenOf(const QWidget &widget)
{
    QScreen *screen = widget.screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

double dpiX(const QWidget &widget)
{
    const QScreen *screen = screenOf(widget);
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

double dpiY(const QWidget &widget)
{
    const QScreen *screen = screenOf(widget);
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 64})
        icon.addFile(QStringLiteral(":/icons/appicon-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The runtime's resize event reports 0 normal, 1 minimised, 2 maximised.
quint32 sizeTypeOf(const QWidget &window)
{
    if (window.isMinimized())
        return 1;
    if (window.isMaximized())
        return 2;
    return 0;
}

QString placementKey(const QString &name)
{
    return ProgramKey(QStringLiteral("Window\\") + name);
}

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

} // namespace

Window::Window(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void Window::setTitle(const QString &title)
{
    setWindowTitle(title);
}

void Window::setUnitsSize(int width, int height, bool center)
{
    const QSize pixels(qRound(dw::units::toPixelsX(width, dpiX(*this))),
                       qRound(dw::units::toPixelsY(height, dpiY(*this))));
    QWidget::resize(pixels);
    if (center) {
        if (const QScreen *screen = screenOf(*this)) {
            QRect frame(QPoint(), pixels);
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void Window::setIconName(const QString &name)
{
    if (name.compare(QStringLiteral("AppIcon!"), Qt::CaseInsensitive) != 0) {
        setWindowIcon(QIcon(name));
        return;
    }
    useProgramIcon();
    // A window without an icon of its own shows the application's. Setting a null icon
    // here would be an icon of its own, an empty one, which the window system then
    // never receives; a window that had another icon shares the application's, which
    // copies no pixmap.
    if (testAttribute(Qt::WA_SetWindowIcon))
        setWindowIcon(QGuiApplication::windowIcon());
}

void Window::setBackColor(qint64 layoutColor)
{
    const QColor color = dw::layoutColor(layoutColor);
    if (!color.isValid())
        return;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, color);
    setPalette(palette);
    setAutoFillBackground(true);
}

void Window::setWindowStateName(const QString &state)
{
    const QString name = state.toLower();
    if (name == QLatin1String("maximized"))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    else if (name == QLatin1String("minimized"))
        setWindowState(windowState() | Qt::WindowMinimized);
    else if (name == QLatin1String("normal"))
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void Window::rememberPlacement(const QString &name)
{
    m_placementName = name;
    QString text;
    if (RegistryGet(placementKey(name), screenArrangement(), text) != 1)
        return;
    const std::optional<Placement> placement = parsePlacement(text);
    if (!placement || !reachable(placement->normal, availableAreas()))
        return;
    setGeometry(placement->normal);
    if (placement->maximized)
        setWindowStateName(QStringLiteral("maximized"));
}

void Window::storePlacement() const
{
    if (m_placementName.isEmpty())
        return;
    // A maximised window is stored with the size it returns to.
    const Placement placement{isMaximized() ? normalGeometry() : geometry(), isMaximized()};
    if (placement.normal.isValid())
        RegistrySet(placementKey(m_placementName), screenArrangement(), placementText(placement));
}

long Window::resize(quint32 sizetype, int newwidth, int newheight)
{
    Q_UNUSED(sizetype);
    Q_UNUSED(newwidth);
    Q_UNUSED(newheight);
    return 0;
}

void Window::createControls()
{
    for (dw::DataWindowControl *control : findChildren<dw::DataWindowControl *>()) {
        control->constructor();
        connect(control, &dw::DataWindowControl::readingChanged, this,
                [this](bool reading) { showReading(reading); });
        connect(control, &dw::DataWindowControl::retrieveFinished, this, &Window::retrieveFinished);
    }
}

bool Window::stopReadings()
{
    bool stopped = false;
    for (dw::DataWindowControl *control : findChildren<dw::DataWindowControl *>()) {
        if (control->isRetrieving()) {
            control->StopReading();
            stopped = true;
        }
    }
    return stopped;
}

void Window::closeEvent(QCloseEvent *event)
{
    // The window goes only once no retrieval of its controls is under way: each one is
    // asked to stop, and the last to return closes the window.
    if (stopReadings()) {
        m_closeAfterReading = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    if (event->isAccepted())
        storePlacement();
}

void Window::retrieveFinished()
{
    if (!m_closeAfterReading)
        return;
    for (const dw::DataWindowControl *control : findChildren<dw::DataWindowControl *>()) {
        if (control->isRetrieving())
            return;
    }
    m_closeAfterReading = false;
    // After the retrieval's caller has finished with the window.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void Window::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && stopReadings())
        return;
    QWidget::keyPressEvent(event);
}

void Window::showReading(bool reading)
{
    if (reading) {
        m_titleBeforeReading = windowTitle();
        setWindowTitle(QStringLiteral("Leyendo…"));
    } else {
        setWindowTitle(m_titleBeforeReading);
    }
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    resize(sizeTypeOf(*this), qRound(dw::units::toUnitsX(size.width(), dpiX(*this))),
           qRound(dw::units::toUnitsY(size.height(), dpiY(*this))));
}

void useProgramIcon()
{
    // Made once and held by the application: an icon made per window keeps its pixmaps
    // after the window is gone.
    if (QGuiApplication::windowIcon().isNull())
        QGuiApplication::setWindowIcon(programIcon());
}

void placeControl(QWidget &control, int x, int y, int width, int height)
{
    const QWidget *window = control.window();
    const QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const double dx = screen ? screen->logicalDotsPerInchX() : 96.0;
    const double dy = screen ? screen->logicalDotsPerInchY() : 96.0;
    control.setGeometry(qRound(dw::units::toPixelsX(x, dx)), qRound(dw::units::toPixelsY(y, dy)),
                        qRound(dw::units::toPixelsX(width, dx)), qRound(dw::units::toPixelsY(height, dy)));
}

void Close(QWidget &window)
{
    window.close();
}

namespace detail {

void showOpened(Window &window)
{
    window.show();
    window.open();
}

void reopen(Window &window)
{
    window.open();
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
}

} // namespace detail

} // namespace rt
