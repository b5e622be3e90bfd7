// Identifiers shared by the resource script and the code. The resource compiler reads this file too,
// so it holds nothing but #define lines.
#pragma once

#define IDS_APP_NAME 0
#define IDS_PRODUCT_NAME 1
#define IDS_PRODUCT_DESCRIPTION 2
#define IDS_SHELL_EXE 4

#define IDI_MAIN 100
