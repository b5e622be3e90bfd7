#include "install/steps/DatabaseFiles.h"

#include <algorithm>

namespace {

TDeployGroup Group(const std::wstring& sourceFolder, const std::wstring& destFolder,
                   std::initializer_list<const wchar_t*> names) {
    TDeployGroup group;
    for (const wchar_t* name : names)
        group.Files.push_back({name, sourceFolder + name, destFolder + name});
    return group;
}

} // namespace

TDeployFile DatabaseFile() {
    return {L"T12.FDB", L"DTAfb\\T12.FDB", L"DTAfb\\T12.FDB"};
}

std::vector<TDeployGroup> ServerFileGroups(int WindowsIndex) {
    std::vector<TDeployGroup> groups;
    if (WindowsIndex == 0)
        groups.push_back(Group(L"Firebird\\", L"",
                               {L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",
                                L"icudt30.Dll", L"icuin30.Dll", L"icuuc30.Dll", L"msvcp80.Dll",
                                L"msvcr80.Dll", L"firebird.msg", L"gbak.exe", L"gds32.dll"}));
    else
        groups.push_back(
            Group(L"Firebird\\", L"",
                  {L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll", L"icudt30.Dll",
                   L"icuin30.Dll", L"icuuc30.Dll", L"msvcp71.Dll", L"msvcr71.Dll", L"firebird.msg"}));

    groups.push_back(Group(L"Firebird\\intl\\", L"intl\\", {L"fbintl.conf", L"fbintl.dll"}));
    groups.back().Folder = L"intl";

    groups.push_back(Group(L"Firebird\\udf\\", L"udf\\",
                           {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql", L"ib_udf2.sql"}));
    groups.back().Folder = L"udf";

    groups.push_back(
        Group(L"UDF\\", L"udf\\", {L"Compare.Dll", L"PosStr.Dll", L"ProcessingECG.Dll", L"SDecision.Dll"}));
    groups.back().FailureStops = false;
    return groups;
}

TDeployClock& DeployClock() noexcept {
    static TDeployClock clock = &LocalNow;
    return clock;
}

std::wstring CopyStepText(const std::wstring& Name) {
    return L"Копирование файла " + Name + L"....";
}

std::wstring BackupFileName(const std::wstring& FileName, const TLocalTime& Time, int Attempt) {
    std::wstring name = FileName + L"." + DateTimeStamp(Time);
    if (Attempt > 0)
        name += L"-" + std::to_wstring(Attempt + 1);
    return name + L".bak";
}

bool IsDatedBackupName(std::wstring_view Name, std::wstring_view FileName) {
    constexpr std::wstring_view extension = L".bak";
    const auto digits = [](std::wstring_view text) {
        return !text.empty() &&
               std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    if (Name.size() < FileName.size() + 1 + 15 + extension.size() ||
        Name.substr(0, FileName.size()) != FileName || Name[FileName.size()] != L'.' ||
        Name.substr(Name.size() - extension.size()) != extension)
        return false;
    const std::wstring_view stamp =
        Name.substr(FileName.size() + 1, Name.size() - FileName.size() - 1 - extension.size());
    if (!digits(stamp.substr(0, 8)) || stamp.size() < 15 || stamp[8] != L'-' || !digits(stamp.substr(9, 6)))
        return false;
    if (stamp.size() == 15)
        return true;
    // "-<n>" for the n-th name tried, 2 to 100, as BackupFileName numbers them.
    const std::wstring_view attempt = stamp.substr(15);
    if (attempt.size() < 2 || attempt.size() > 4 || attempt[0] != L'-' || !digits(attempt.substr(1)) ||
        attempt[1] == L'0')
        return false;
    const int number = std::stoi(std::wstring(attempt.substr(1)));
    return number >= 2 && number <= 100;
}
