// The progress ("wait") window for long operations; created hidden at start-up.
#pragma once

#include <cstdint>

#include "win/Window.h"

class TFWaitRun : public TWindow {
public:
    void Create();
    std::uint8_t typemessage = 0;
};

// Created by the entry right after the main window; it stays hidden.
extern TFWaitRun* FWaitRun;
