// The one translation unit that holds stb_image's code. It is third-party code and is compiled without our
// strict warnings (see src/app/CMakeLists.txt).
#define STB_IMAGE_IMPLEMENTATION
#include "app/StbImage.h"
