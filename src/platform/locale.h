// The user's number format.
#pragma once

namespace app {

// Hands the user's decimal and thousands separators to the number rules.
void LoadLocaleSeparators();

}  // namespace app
