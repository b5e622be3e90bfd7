// The platform's standard modal message box with the program's fixed Russian texts.
#pragma once

#include <windows.h>
#include <string>

enum class TBoxIcon { Error, Warning, Question, Information };

// OK only.
void ShowMessageBox(HWND owner, const std::wstring& text, TBoxIcon icon);
// Yes and No; true for Yes.
bool AskYesNo(HWND owner, const std::wstring& text, TBoxIcon icon = TBoxIcon::Question);
// "Повтор" and "Отмена" (the platform's Retry and Cancel); true for Retry.
bool AskRetryCancel(HWND owner, const std::wstring& text);
