#pragma once

#include <QString>

namespace rt {

// The application object. The runtime creates it, raises create(), then
// open(commandline), runs the event loop until the last window closes, then raises
// destroy(). The entry point hands over the argument text (see commandline.h).
class Application
{
public:
    Application();
    virtual ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    QString appname;
    QString displayname;

    virtual void create() {}
    virtual void open(const QString &commandline) { Q_UNUSED(commandline); }
    virtual void destroy() {}

    // create, open, event loop, destroy; returns the event loop's exit code. A
    // QApplication must exist.
    int run(const QString &commandline);

    // The application object in force (the last one constructed), or null.
    [[nodiscard]] static Application *instance();
};

} // namespace rt
