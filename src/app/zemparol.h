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
    // Connects SQLCA to the directory (zemparol.mdb in the start folder, unless the
    // argument text or the settings say otherwise); a failed connection is reported,
    // and when nothing said where the directory is the user is asked for its folder.
    // The search window opens in every case.
    void open(const QString &commandline) override;
    void destroy() override;

private:
    // Asks for the directory's folder through the folder chooser until one connects (it
    // is remembered for the next start) or the user cancels (nothing changes).
    void askForTheDirectory();
    // Says once that the user's settings file shows the connection's password to others.
    void warnOfAnExposedPassword();
};
