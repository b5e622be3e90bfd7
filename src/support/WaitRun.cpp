#include "support/WaitRun.h"

TFWaitRun* FWaitRun = nullptr;

void TFWaitRun::Create() {
    RegisterWindowClass(L"TFWaitRun", 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateHandle(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"TFWaitRun", L"Launching ", WS_POPUP | WS_BORDER, 0, 0,
                 471, 59, nullptr);
}
