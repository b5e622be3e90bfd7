#define CONTENT_HASH_KERNEL ContentHashPlain
#include "install/files/ContentHashKernel.inc"
