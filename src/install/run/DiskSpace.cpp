#include "install/run/DiskSpace.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/steps/DatabaseFiles.h"
#include "install/files/Walks.h"
#include "install/steps/Fonts.h"
#include "install/record/InstallRecord.h"
#include "install/record/InstalledFiles.h"
#include "install/steps/PackageChoice.h"
#include "install/run/SpacePlan.h"

namespace {

void PlanFile(std::vector<TPlannedFile>& plan, const std::wstring& from, const std::wstring& to,
              bool writtenBeside, bool keepsExisting = false) {
    if (const auto size = FileSizeOf(from))
        plan.push_back({*size, FileSizeOf(to), keepsExisting, writtenBeside});
}

// Every file of the tree `from` as it lands below `to`; `writtenBeside` where the run copies it itself,
// through a temporary file beside the one it replaces.
void PlanTree(std::vector<TPlannedFile>& plan, const std::wstring& from, const std::wstring& to,
              bool writtenBeside = false) {
    WalkFiles(from, [&](const std::wstring& relative, const WIN32_FIND_DATAW&) {
        PlanFile(plan, from + L"\\" + relative, to + L"\\" + relative, writtenBeside);
    });
}

// The package whose script the run will start: the newest of those on the medium and those the target
// keeps already; none when the choice would fail (the run then says why itself).
std::wstring NewestPackageFolder(const std::wstring& source, const std::wstring& target) {
    std::vector<std::wstring> names;
    for (const std::wstring& store : {source + L"backup\\", target + L"backup\\"}) {
        std::vector<std::wstring> packages;
        GetSubDirList(store, packages);
        for (const std::wstring& package : packages) {
            const std::wstring name = package.substr(store.size());
            bool known = false;
            for (const std::wstring& each : names)
                known = known || SameText(each, name);
            if (!known)
                names.push_back(name);
        }
    }
    try {
        SortPackageList(names);
        const std::wstring chosen = names[NewestPackage(names, L"backup")];
        const std::wstring onMedium = source + L"backup\\" + chosen;
        return FolderExists(onMedium) ? onMedium : target + L"backup\\" + chosen;
    } catch (const TError&) {
        return {};
    }
}

std::wstring VolumeOf(const std::wstring& path) {
    wchar_t volume[MAX_PATH + 1] = L"";
    if (!::GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1))
        return {};
    return volume;
}

bool SystemFreeBytes(const std::wstring& folder, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return false;
    bytes = available.QuadPart;
    return true;
}

bool DiskHasRoom(IInstallHost& host, const TInstallOptions& options, const std::wstring& folder,
                 std::uint64_t needed) {
    std::uint64_t free = 0;
    if (!(options.FreeBytes ? options.FreeBytes : SystemFreeBytes)(folder, free)) {
        host.Trace(L"Свободное место на диске папки " + Quoted(folder) + L" не определено: " +
                   SystemErrorText(::GetLastError()));
        return true;
    }
    host.Trace(L"На диске папки " + Quoted(folder) + L" будет занято до " + Megabytes(needed) +
               L", свободно " + Megabytes(free));
    if (needed <= free)
        return true;
    const std::wstring volume = VolumeOf(folder);
    const std::wstring text = NoSpaceText(volume.empty() ? folder : volume, needed, free);
    host.ShowError(text);
    host.AddLine(text);
    return false;
}

} // namespace

TSpaceNeed PlannedSpace(const TInstallOptions& Options, const std::wstring& Target, bool InstallsFonts) {
    const std::wstring& source = Options.SourceFolder;
    std::vector<TPlannedFile> plan;
    const TDeployFile database = DatabaseFile();
    PlanFile(plan, source + database.Source, Target + database.Dest, true, true);
    for (const TDeployGroup& group : ServerFileGroups(Options.WindowsIndex))
        for (const TDeployFile& file : group.Files)
            PlanFile(plan, source + file.Source, Target + file.Dest, true);
    PlanTree(plan, source + L"backup", Target + L"backup", true);
    PlanTree(plan, source + L"Updater", WithoutTrailingBackslash(Target), true);
    // What the newest package's script puts into the suite's folder: its "Files".
    const std::wstring package = NewestPackageFolder(source, Target);
    if (!package.empty())
        PlanTree(plan, package + L"\\Files", WithoutTrailingBackslash(Target));
    if (Options.InstallDriver)
        PlanTree(plan, source + L"FTDIDriverInstall", Target + L"FTDIDriverInstall");
    // The uninstaller the run leaves: this program, unless the same one is there already.
    const std::wstring program = Options.Uninstaller.empty() ? ExecutablePath() : Options.Uninstaller;
    if (!SameContent(program, Target + UninstallerName))
        PlanFile(plan, program, Target + UninstallerName, true);
    return {BytesNeeded(plan), InstallsFonts ? FontBytesToInstall(source) : 0};
}

bool EnoughSpace(IInstallHost& Host, const TInstallOptions& Options, const std::wstring& Target,
                 bool InstallsFonts) {
    const TSpaceNeed need = PlannedSpace(Options, Target, InstallsFonts);
    const std::wstring windows = GetWindowsDir();
    const std::wstring targetVolume = VolumeOf(Target);
    if (need.Windows == 0 || windows.empty() || SameText(VolumeOf(windows), targetVolume))
        return DiskHasRoom(Host, Options, Target, need.Target + need.Windows);
    return DiskHasRoom(Host, Options, Target, need.Target) &&
           DiskHasRoom(Host, Options, windows, need.Windows);
}
