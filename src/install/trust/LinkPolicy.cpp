#include "install/trust/LinkPolicy.h"

#include <array>

#include "common/StrUtils.h"

namespace {

constexpr std::array<std::wstring_view, 3> TrustedOwners{
    L"S-1-5-18",                                                       // the system
    L"S-1-5-32-544",                                                   // the administrators
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", // the module installer
};

// The reparse tags that name another file or folder carry this bit.
constexpr std::uint32_t NameSurrogateBit = 0x20000000;

} // namespace

bool IsTrustedOwner(std::wstring_view sid) noexcept {
    for (std::wstring_view trusted : TrustedOwners)
        if (SameText(sid, trusted))
            return true;
    return false;
}

bool IsLinkTag(std::uint32_t tag) noexcept {
    return tag == 0 || (tag & NameSurrogateBit) != 0;
}

TLinkKind LinkKindFrom(bool reparsePoint, std::uint32_t tag, const std::function<std::wstring()>& ownerSid) {
    if (!reparsePoint || !IsLinkTag(tag))
        return TLinkKind::NotALink;
    return IsTrustedOwner(ownerSid()) ? TLinkKind::Trusted : TLinkKind::Foreign;
}

std::wstring PlainFinalPath(std::wstring_view finalPath) {
    constexpr std::wstring_view Unc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view Local = L"\\\\?\\";
    if (finalPath.size() >= Unc.size() && SameText(finalPath.substr(0, Unc.size()), Unc))
        return L"\\\\" + std::wstring(finalPath.substr(Unc.size()));
    if (finalPath.starts_with(Local))
        return std::wstring(finalPath.substr(Local.size()));
    return std::wstring(finalPath);
}

bool FinalPathWithin(std::wstring_view path, std::wstring_view folder) noexcept {
    const std::wstring_view bare = folder.ends_with(L'\\') ? folder.substr(0, folder.size() - 1) : folder;
    if (SameText(path, bare))
        return true;
    return path.size() > bare.size() && path[bare.size()] == L'\\' &&
           SameText(path.substr(0, bare.size()), bare);
}

std::vector<std::wstring> LevelsBelowRoot(std::wstring_view path) {
    std::wstring plain = PlainFinalPath(path);
    std::size_t root = 0;
    if (plain.size() >= 3 && plain[1] == L':' && plain[2] == L'\\') {
        root = 3;
    } else if (plain.starts_with(L"\\\\")) {
        // "\\server\share\" is the root of a share.
        const std::size_t server = plain.find(L'\\', 2);
        const std::size_t share = server == std::wstring::npos ? server : plain.find(L'\\', server + 1);
        root = share == std::wstring::npos ? plain.size() : share + 1;
    } else {
        return {};
    }
    std::vector<std::wstring> levels;
    for (std::size_t start = root; start < plain.size();) {
        std::size_t end = plain.find(L'\\', start);
        if (end == std::wstring::npos)
            end = plain.size();
        if (end > start)
            levels.push_back(plain.substr(0, end));
        start = end + 1;
    }
    return levels;
}

bool LinkLeadsTo(std::wstring_view substitute, std::wstring_view finalDos, std::wstring_view finalGuid) {
    constexpr std::wstring_view Global = L"\\??\\";
    if (!substitute.starts_with(Global))
        return false;
    std::wstring leads(substitute.substr(Global.size()));
    const bool volume = leads.size() > 7 && SameText(std::wstring_view(leads).substr(0, 7), L"Volume{");
    std::wstring found = PlainFinalPath(volume ? finalGuid : finalDos);
    leads = WithoutTrailingBackslash(leads);
    found = WithoutTrailingBackslash(found);
    return !leads.empty() && !found.empty() && SameText(leads, found);
}
