// The protected stretch as the rows of a run's or a removal's table raise and lower it: the window refuses to
// close while a protected row runs, and the stretch is lowered however the run ends.
#pragma once

#include "install/run/InstallHost.h"

class TProtectedRows {
public:
    explicit TProtectedRows(IInstallHost& host) : FHost(host) {}
    TProtectedRows(const TProtectedRows&) = delete;
    TProtectedRows& operator=(const TProtectedRows&) = delete;
    ~TProtectedRows() { Set(false); }
    void Set(bool on) {
        if (on != FOn)
            FHost.SetProtected(FOn = on);
    }

private:
    IInstallHost& FHost;
    bool FOn = false;
};
