#pragma once

#include "alert/EqTelegramDispatcher.h"

// The desktop's screen saver through the freedesktop ScreenSaver service on the
// session bus. Without a session bus or the service it reports none running.
class TFreedesktopScreenSaver : public TScreenSaverControl
{
public:
    // Calls wait at most TimeoutMSecs: an alert must not hang on a slow desktop.
    explicit TFreedesktopScreenSaver(int TimeoutMSecs = 200) : FTimeoutMSecs(TimeoutMSecs) {}
    bool IsScreenSaverRunning() override;
    void StopScreenSaver() override;

private:
    int FTimeoutMSecs;
};
