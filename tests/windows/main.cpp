// The Windows-side tests: one program, under Wine here and natively on Windows (it says which).
// The first argument, when given, names the Velumbra.scr to test, an installed one say.
#include <cstring>

#include "windows/harness.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) ScrPath() = std::wstring(argv[1], argv[1] + std::strlen(argv[1]));
    const auto wine = reinterpret_cast<const char* (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
    std::printf("[ info ] %s\n", wine ? (std::string("under Wine ") + wine()).c_str() : "natively on Windows");
    return RUN_ALL_TESTS();
}
