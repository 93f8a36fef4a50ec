#include "platform/locale.h"

#include <windows.h>

#include <string>

#include "pure/numbers.h"

namespace app {

void LoadLocaleSeparators() {
    const auto text = [](LCTYPE type, const char* fallback) {
        char buffer[16] = {};
        return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 1 ? std::string(buffer)
                                                                                    : std::string(fallback);
    };
    num::SetSeparators({text(LOCALE_SDECIMAL, "."), text(LOCALE_STHOUSAND, ",")});
}

}  // namespace app
