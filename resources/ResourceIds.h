// Identifiers shared by the resource script and the code. The resource compiler reads this file too,
// so it holds nothing but #define lines.
#pragma once

#define IDS_APP_NAME 0
#define IDS_PRODUCT_NAME 1
#define IDS_PRODUCT_DESCRIPTION 2
#define IDS_SHELL_EXE 4

#define IDI_MAIN 100

// Version of the program as its version resource states it: the comma list and the text must agree.
#define TESSARO_VERSION_BINARY 1,0,0,0
#define TESSARO_VERSION_TEXT "1.0.0.0"

// The maker as the version resource names it, and the suite's entry in "Programs and Features" with it; a
// signed release's certificate must be issued to exactly this name.
#define TESSARO_PUBLISHER "ООО «Тессаро Медикал»"
