// Built with -msse2 in the i686 build (see CMakeLists.txt); taken only where the processor says it has SSE2.
#define CONTENT_HASH_KERNEL ContentHashSse2
#include "install/files/ContentHashKernel.inc"
