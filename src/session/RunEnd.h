// What a run's end means for every kind of start: one row per outcome of the installation (RunOutcome.h) and
// of the removal, with the exit code, the line that closes the list and the log, the last question, whether
// the large-font advice applies, and the state of "Выход". The window decides from the row, and from what
// only it knows (the screen's fonts, whether anyone is there, a close asked for during the run), which page
// it shows, whether it asks and whether it closes (app/WizardState.h); a windowless start takes the exit code
// and the log's lines alone. Portable.
#pragma once

#include "install/record/Uninstall.h"
#include "install/run/RunOutcome.h"

// Where the large-font advice comes on a screen with small fonts (its page where someone reads it; a line in
// the log always).
enum class TFontAdvice {
    None,          // nowhere: the run did not install the suite
    Instead,       // in place of the question: the run completed
    AfterQuestion, // after the question, when the user stays: the advice page would hide a list that says
                   // what went wrong
};

struct TRunEnd {
    int ExitCode = 0;
    const wchar_t* Line = nullptr; // the last line of the list and the log; null where the run's own say it
    const wchar_t* Question = nullptr; // asked over the list where someone is there to answer; Yes leaves
    TFontAdvice FontAdvice = TFontAdvice::None;
    bool ExitEnabled = false;     // "Выход" may be pressed
    const wchar_t* Box = nullptr; // an information box once the run has ended, for whoever is there
    bool Leaves = false;          // the window closes at once: there is nothing more to show
};

const TRunEnd& InstallationEnd(TOutcome outcome);
const TRunEnd& RemovalEnd(TRemovalEnd end);

namespace RunEndText {
inline constexpr wchar_t FinalQuestion[] = L"Установка завершена. Выйти из программы установки?";
// A run that did not complete (a package that did not install, files that did not arrive, a registration
// that failed): said as such, over the list that names what went wrong.
inline constexpr wchar_t IncompleteQuestion[] =
    L"Установка завершена с ошибками: они указаны в списке. Выйти из программы установки?";
// Its box named the error; the list says where the run was.
inline constexpr wchar_t StoppedAfterCommit[] = L"Установка прервана после копирования файлов из-за ошибки.";
inline constexpr wchar_t RemovalDone[] = L"Удаление комплекса «Тессаро-Холтер» завершено.";
// The advice as the log keeps it.
inline constexpr wchar_t FontAdvice[] =
    L"Экран работает с мелким шрифтом (меньше 100 точек на дюйм): рекомендуется крупный шрифт";
} // namespace RunEndText
