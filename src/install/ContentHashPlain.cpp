#define CONTENT_HASH_KERNEL ContentHashPlain
#include "install/ContentHashKernel.inc"
