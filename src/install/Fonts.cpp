#include "install/Fonts.h"

// Filled in with the font step; until then the run goes on without it.
void InstallFonts(IProgress&, const std::wstring&) {}
