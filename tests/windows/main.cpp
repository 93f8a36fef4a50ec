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
    const int status = RUN_ALL_TESTS();
    // One line for scripts/test: the fault scenarios tried and failed.
    for (int i = 0; const auto* suite = testing::UnitTest::GetInstance()->GetTestSuite(i); ++i)
        if (std::string(suite->name()) == "Faults" && suite->test_to_run_count())
            std::printf("[ report ] end-to-end fault scenarios: %d tried, %d failed\n", suite->test_to_run_count(),
                        suite->failed_test_count());
    return status;
}
