#pragma once

#include "application.h"

// The application object: owns the globals, connects to the directory database and
// opens the search window.
class zemparol : public rt::Application
{
public:
    // The name the settings, the cache folder and the window class are known by.
    [[nodiscard]] static QString name();

    void create() override;
    // Connects SQLCA to zemparol.mdb in the current folder; a failed connection is
    // reported, and the search window opens in either case. The argument text is ignored.
    void open(const QString &commandline) override;
    void destroy() override;
};
