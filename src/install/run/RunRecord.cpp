#include "install/run/RunRecord.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/LocalTime.h"
#include "install/steps/DatabaseFiles.h"
#include "install/files/Copies.h"
#include "install/files/TargetFolder.h"
#include "install/files/Walks.h"
#include "install/trust/TargetAccess.h"
#include "install/steps/PackageChoice.h"
#include "install/record/Registration.h"
#include "install/steps/ReleasePackage.h"

namespace {

// What the run copies from the medium itself, relative to the target: the server's files, the packages,
// the updater's files, the driver's installer. Recorded even where a copy came out as the file it replaced.
std::vector<std::wstring> OwnCopies(const TInstallOptions& options) {
    std::vector<std::wstring> copies;
    for (const TDeployGroup& group : ServerFileGroups(options.WindowsIndex))
        for (const TDeployFile& file : group.Files)
            copies.push_back(file.Dest);
    const auto tree = [&](const std::wstring& from, const std::wstring& to) {
        WalkFiles(options.SourceFolder + from, [&](const std::wstring& relative, const WIN32_FIND_DATAW&) {
            copies.push_back(to + relative);
        });
    };
    tree(L"backup", L"backup\\");
    tree(L"Updater", L"");
    if (options.InstallDriver)
        tree(L"FTDIDriverInstall", L"FTDIDriverInstall\\");
    if (options.Edition)
        copies.push_back(L"btooth.ini");
    return copies;
}

} // namespace

namespace {

// The uninstaller: this very program, which knows /UNINSTALL. What runs with an administrator's rights later
// (the uninstaller, from "Programs and Features" or a deployment tool) and the record it trusts lie where
// only administrators write; without those rights the folder stays the user's own, as the entry is.
void PutUninstaller(IInstallHost& host, const TInstallOptions& options, TTargetFolder& target,
                    bool perMachine) {
    const std::wstring program = options.Uninstaller.empty() ? ExecutablePath() : options.Uninstaller;
    if (perMachine)
        EnsureAdminFolder(target, UninstallFolder);
    else
        target.MakeFolder(UninstallFolder);
    // A reinstall from the same medium finds it in place already.
    if (SameContentAs(target, program, UninstallerName)) {
        host.Trace(L"Программа удаления на месте: " + Quoted(target.Full(UninstallerName)));
        return;
    }
    RetryWhileInUse(target, host, [&] {
        DWORD failure = 0;
        TCopyHow how;
        how.Remember = false;
        if (!CopyInto(target, program, UninstallerName, &failure, how))
            throw TSystemError(L"Не удалось скопировать программу удаления в " +
                                   Quoted(target.Full(UninstallerName)) + L": " + SystemErrorText(failure),
                               failure);
    });
}

} // namespace

bool RecordAndRegister(IInstallHost& Host, const TInstallOptions& Options, TTargetFolder& Target,
                       const TTreeState& Before, bool PerMachine) {
    try {
        PutUninstaller(Host, Options, Target, PerMachine);
        const std::uint64_t bytes = RecordInstalledFiles(Target, Before, OwnCopies(Options), PerMachine);
        const TReleaseInfo release = ReadReleaseInfo(Target);
        const TDisplayVersion version = ReleaseDisplayVersion(release.Version, release.Level);
        const std::wstring target = Target.Path();
        TRegistrationValues values;
        values.InstallLocation = target;
        values.DisplayVersion = version.Text;
        values.VersionMajor = version.Major;
        values.VersionMinor = version.Minor;
        values.Publisher = Options.Publisher;
        values.InstallDate = DateStamp(LocalNow());
        values.EstimatedSizeKb =
            static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
        values.DisplayIcon = target + Options.ShellExe;
        values.UninstallString = UninstallCommand(target);
        values.QuietUninstallString = QuietUninstallCommand(target);
        RegisterInstallation(values, PerMachine);
        Host.Trace(std::wstring(L"Зарегистрирован в списке установленных программ: ") +
                   (PerMachine ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") + UninstallKeyPath +
                   L", версия " + version.Text);
        return true;
    } catch (const TCancelled&) {
        throw;
    } catch (const TError& error) {
        // The reason may be long (a registry key, a path): a line of its own, which may be scrolled to.
        Host.AddLine(NotRegisteredText);
        Host.AddLine(error.Message());
        return false;
    }
}
