// The program's version, from its version resource.
#pragma once

#include <cstdint>

namespace app {

// 1.6.0.13 gives 1, 6 and 13.
struct Version {
    std::int16_t major, minor, revision;
};
Version ProgramVersion();

}  // namespace app
