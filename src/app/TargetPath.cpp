#include "app/TargetPath.h"

TPathCheck CheckTargetPath(std::wstring_view entry) {
    std::wstring path = TrimControl(entry);
    if (path.empty())
        return {TPathVerdict::Empty, {}};
    if (path.back() != L'\\')
        path += L'\\';
    if (path.size() <= 3)
        return {TPathVerdict::Root, path};
    return {TPathVerdict::Accepted, path};
}
