#include "install/DatabaseFiles.h"

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

std::wstring CopyStepText(const std::wstring& Name) {
    return L"Копирование файла " + Name + L"....";
}

std::wstring BackupFileName(const std::wstring& FileName, const TLocalTime& Time, int Attempt) {
    std::wstring name = FileName + L"." + DateTimeStamp(Time);
    if (Attempt > 0)
        name += L"-" + std::to_wstring(Attempt + 1);
    return name + L".bak";
}
