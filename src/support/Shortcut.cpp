#include "support/Shortcut.h"

// Filled in with the shortcut step; until then the run goes on without it.
void CreateShortcut(const std::wstring&, std::uint8_t, const std::wstring&, const std::wstring&,
                    const std::wstring&, const std::wstring&, const std::wstring&, std::wstring&) {}
