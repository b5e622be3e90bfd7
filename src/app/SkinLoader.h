// Loading the skin's PNG images from the program's own resources.
#pragma once

#include "app/Skin.h"

// Decodes the PNG raw-data resource `name` of the program into `target`, flattened onto white and opaque.
void LoadPngResource(TBitmap32& target, const wchar_t* name);

// The seven skin images, in the order the window loads them.
void LoadSkinImages(TSkinImages& images);
