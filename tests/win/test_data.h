// Paths of the test pictures as Windows paths (under Wine, drive Z: is the Unix root).
#pragma once

#include <string>

inline std::string TestData(const std::string& file) {
    std::string path = std::string(VELUMBRA_TEST_DATA) + "/" + file;
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
