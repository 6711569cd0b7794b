#include "application.h"

#include "fonts.h"
#include "qtinteraction.h"
#include "registry.h"
#include "window.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace rt {
namespace {
Application *g_instance = nullptr;
}

Application::Application()
{
    g_instance = this;
    dw::useQtInteraction();
    ReportUnwritableSettings();
}

Application::~Application()
{
    if (g_instance == this)
        g_instance = nullptr;
}

Application *Application::instance()
{
    return g_instance;
}

int Application::run(const QString &commandline)
{
    dw::ensureLayoutFonts(); // the faces layouts and windows name
    useProgramIcon(); // dialogs too, those without a parent window included
    QApplication::setQuitOnLastWindowClosed(true);
    create();
    if (!appname.isEmpty())
        QCoreApplication::setApplicationName(appname);
    if (!displayname.isEmpty())
        QGuiApplication::setApplicationDisplayName(displayname);
    open(commandline);
    // An open event that shows no window leaves nothing to wait for.
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool anyShown
        = std::any_of(windows.begin(), windows.end(), [](const QWidget *w) { return w->isVisible(); });
    const int result = anyShown ? QApplication::exec() : 0;
    destroy();
    return result;
}

} // namespace rt
