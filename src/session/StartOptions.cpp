#include "session/StartOptions.h"

#include "common/StrUtils.h"
#include "install/record/InstallRecord.h"

namespace {

// A folder given with /DIR: a full path, not a root in any spelling. Empty with the reason when refused, in
// the words of an installation or of a removal.
std::wstring CheckedDir(const std::wstring& value, const TStartFacts& facts, std::wstring& refusal,
                        bool removal = false) {
    refusal = DirSwitchRefusal(value);
    if (!refusal.empty())
        return {};
    const TPathCheck check = CheckTargetPath(value, facts.FullPathOf);
    refusal = removal ? RemovalRefusalText(check.Verdict) : RefusalText(check.Verdict);
    return refusal.empty() ? check.Path : std::wstring();
}

// The folder /UNINSTALL removes the suite from when no /DIR names it: the one this uninstaller lies in, as
// the folder "Uninstall" inside it; otherwise the registered one.
std::wstring UninstallFolderOf(const TStartFacts& facts) {
    const std::wstring& folder = facts.ProgramFolder;
    const std::wstring own = std::wstring(UninstallFolder) + L"\\";
    if (folder.size() > own.size() &&
        SameText(std::wstring_view(folder).substr(folder.size() - own.size()), own))
        return folder.substr(0, folder.size() - own.size());
    return DefaultTargetFolder(facts);
}

TStart Refuse(TStart start, std::wstring refusal, bool help) {
    start.Action = TStartAction::Refused;
    start.Refusal = std::move(refusal);
    start.RefusalShowsHelp = help;
    return start;
}

} // namespace

std::wstring DefaultTargetFolder(const TStartFacts& facts) {
    // The registry's folder is as hostile as the command line's: one no /DIR would be let through is passed
    // over for the product's own.
    if (facts.RegisteredFolder) {
        std::wstring refusal;
        const std::wstring checked = CheckedDir(*facts.RegisteredFolder, facts, refusal);
        if (refusal.empty())
            return checked;
    }
    return L"C:\\" + facts.Product.AppName;
}

TStart ResolveStart(std::wstring_view arguments, const TStartFacts& facts) {
    TStart start;
    start.Line = ParseCommandLine(arguments);
    start.Quiet = start.Line.AnswersQuestions() || NamesQuietSwitch(arguments);
    if (!start.Line.Error.empty())
        return Refuse(std::move(start), start.Line.Error, true);
    if (start.Line.Help) {
        start.Action = TStartAction::Help;
        return start;
    }

    const TProductTexts& product = facts.Product;
    std::wstring refusal;
    if (start.Line.FinishUninstall) {
        if (!start.Line.Dir)
            return Refuse(std::move(start), L"Параметру /FINISHUNINSTALL нужна папка: /DIR=\"...\"", false);
        start.FinishTarget = CheckedDir(*start.Line.Dir, facts, refusal, true);
        if (!refusal.empty())
            return Refuse(std::move(start), refusal, false);
        start.Action = TStartAction::FinishUninstall;
        start.FinishProcess = *start.Line.FinishUninstall;
        return start;
    }
    if (start.Line.Uninstall) {
        TUninstallOptions& options = start.Uninstall;
        options.Target =
            start.Line.Dir ? CheckedDir(*start.Line.Dir, facts, refusal, true) : UninstallFolderOf(facts);
        if (!refusal.empty())
            return Refuse(std::move(start), refusal, false);
        options.Target = WithTrailingBackslash(options.Target);
        options.ProductName = product.ProductName;
        options.ShellExe = product.ShellExe;
        options.Running = facts.Program;
        start.Action = TStartAction::Uninstall;
        return start;
    }

    TInstallOptions& options = start.Install;
    if (start.Line.Dir) {
        options.TargetText = CheckedDir(*start.Line.Dir, facts, refusal);
        if (!refusal.empty())
            return Refuse(std::move(start), refusal, false);
    } else {
        options.TargetText = DefaultTargetFolder(facts);
    }
    options.SourceFolder = facts.ProgramFolder;
    options.WindowsIndex = start.Line.WindowsXP ? 1 : 0;
    options.InstallDriver = !start.Line.NoDriver;
    options.Edition = product.Edition;
    options.ProductName = product.ProductName;
    options.ProductDescription = product.ProductDescription;
    options.ShellExe = product.ShellExe;
    options.Publisher = product.Publisher;
    start.Action = TStartAction::Install;
    return start;
}
