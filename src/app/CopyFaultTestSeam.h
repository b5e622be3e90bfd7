// Test-only. A copy that fails half-way is what a bad sector or a medium pulled out does; the end-to-end
// tests drive the real program from outside and cannot bring either about. This environment variable serves
// them; it is read here and nowhere else, and a program started without it behaves as if this file did not
// exist.
//   TESSARO_E2E_FAIL_READ=<file name>   every copy of a file of that name (in any folder, any letter case)
//                                       reads half of its first chunk and then fails to read on
#pragma once

// Called once by the entry, before any installation can start.
void ApplyCopyFaultSeam();
