// The screen geometry captured at start-up: the chosen monitor, read by the program's secondary windows.
#pragma once

#include <cstdint>
#include <memory>

#include "common/Geometry.h"

struct TMonitorGeometry : TRect {
    int PixelsPerInch = 96;
};

// What the geometry needs of the platform's screen; the Windows build reads the real one.
class IScreenSource {
public:
    virtual ~IScreenSource() = default;
    virtual int MonitorCount() const = 0;
    virtual TMonitorGeometry Monitor(int index) const = 0;
    virtual TMonitorGeometry Desktop() const = 0; // size of the whole desktop
    virtual TMonitorGeometry WorkArea() const = 0;
    virtual int PixelsPerInch() const = 0;
    virtual std::int16_t Cursor() const = 0;
    virtual void SetCursor(std::int16_t cursor) = 0;
};

class TmyScreen {
public:
    // Create: reads the platform's screen once; the source must outlive the object.
    explicit TmyScreen(IScreenSource& screen);

    TMonitorGeometry GetMonitor(int Index) const { return FScreen->Monitor(Index); }
    std::int16_t Cursor() const noexcept { return FCursor; }
    // Stores the value, then tries to show it; the platform's refusal does not matter.
    void SetCursor(std::int16_t value) noexcept;

    IScreenSource* FScreen;
    std::int16_t FCursor = 0;
    std::int32_t MonitorCount = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t WorkAreaWidth = 0;
    std::int32_t WorkAreaHeight = 0;
    std::int32_t Monitornumber = 0;
    std::int32_t PixelsPerInch = 0;
    double ScaleKoef = 0.0;
};

// Chooses the monitor with the given number, falling back to monitor 0 when there is no such monitor.
void SelectMonitor(TmyScreen& screen, std::uint8_t monitor);
// The same on the program's one instance.
void SelectMonitor(std::uint8_t monitor);

// Created by the entry before any window, alive until the process ends.
extern std::unique_ptr<TmyScreen> MyScreen;
