#include "app/ProgressHost.h"

#include <algorithm>

#include "app/Main.h"
#include "common/Error.h"
#include "install/FilesInUse.h"
#include "win/Application.h"
#include "win/MessageBox.h"

HWND TProgressListHost::List() const {
    return FMain.Pages().LogList;
}

void TProgressListHost::AddLine(const std::wstring& text) {
    const LRESULT index = ::SendMessageW(List(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        ScrollToLine(static_cast<std::size_t>(index));
}

std::size_t TProgressListHost::AddStepLine(const std::wstring& text) {
    const LRESULT index = ::SendMessageW(List(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0)
        throw TError(L"Не удалось добавить строку в список хода установки");
    ScrollToLine(static_cast<std::size_t>(index));
    return static_cast<std::size_t>(index);
}

// A list box keeps its first line in view whatever is added below; the line of the file being copied must be
// the one the user sees, so the list follows its newest line down.
void TProgressListHost::ScrollToLine(std::size_t index) {
    HWND list = List();
    RECT client{};
    ::GetClientRect(list, &client);
    const LRESULT itemHeight = ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    if (itemHeight <= 0)
        return;
    const LONG_PTR rows = std::max<LONG_PTR>(1, (client.bottom - client.top) / itemHeight);
    const LONG_PTR top = static_cast<LONG_PTR>(index) - rows + 1;
    if (top > ::SendMessageW(list, LB_GETTOPINDEX, 0, 0))
        ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void TProgressListHost::CompleteLine(std::size_t index, const std::wstring& suffix) {
    HWND list = List();
    const WPARAM item = static_cast<WPARAM>(index);
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, item, 0);
    if (length < 0)
        return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
    text += suffix;
    // Taking the line out may scroll the list up; the view is put back where it was.
    const LRESULT top = ::SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    ::SendMessageW(list, LB_DELETESTRING, item, 0);
    ::SendMessageW(list, LB_INSERTSTRING, item, reinterpret_cast<LPARAM>(text.c_str()));
    if (top >= 0)
        ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void TProgressListHost::Pump() {
    ::UpdateWindow(List());
    Application().ProcessMessages();
}

bool TProgressListHost::AskYesNo(const std::wstring& text) {
    return ::AskYesNo(FMain.Handle(), text);
}

void TProgressListHost::ShowError(const std::wstring& text) {
    ShowMessageBox(FMain.Handle(), text, TBoxIcon::Error);
}

void TProgressListHost::ShowProgressPage() {
    FMain.ShowProgressPage();
}

void TProgressListHost::SetProtected(bool on) {
    FMain.SetProtected(on);
}

void TProgressListHost::EnableExit() {
    ::EnableWindow(FMain.Pages().BtnExit, TRUE);
}

void TProgressListHost::ShowLargeFontPage() {
    FMain.ShowLargeFontPageAfterRun();
}

void TProgressListHost::CloseWindow() {
    FMain.CloseAfterRun();
}

void* TProgressListHost::OwnerWindow() {
    return FMain.Handle();
}

TInUseAnswer TProgressListHost::FileInUse(const std::wstring& file,
                                          const std::vector<std::wstring>& programs) {
    const std::wstring text =
        InUseText(file, programs) +
        L"\r\n\r\nЗакройте эту программу и нажмите «Повтор», чтобы продолжить установку, "
        L"или «Отмена», чтобы прервать её.";
    return AskRetryCancel(FMain.Handle(), text) ? TInUseAnswer::Retry : TInUseAnswer::Cancel;
}

bool TProgressListHost::CloseRequested() {
    return FMain.CloseRequested();
}
