#include "install/ReleasePackage.h"

// Filled in with the package step; until then the run goes on without it.
void InstallReleasePackage(const std::wstring&, const std::wstring&, const std::wstring&) {}
void WriteReleaseLevel(const std::wstring&, const std::wstring&) {}
