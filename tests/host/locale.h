// The user's separators, set for a test: each use puts the usual ones back, even when a check
// fails, for they are process-wide.
#pragma once

#include "pure/numbers.h"

struct Locale {
    Locale(const char* decimal, const char* thousands) { num::SetSeparators({decimal, thousands}); }
    ~Locale() { num::SetSeparators({".", ","}); }
};
