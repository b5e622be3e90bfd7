// Whether this process has an administrator's rights: what an installation protects, where it registers and
// whether it installs fonts, and what a removal trusts, all follow from it.
#pragma once

bool ProcessIsElevated();
