// In process: the registry routines against Windows' own registry.
#include <atomic>
#include <thread>

#include "settings/reg.h"
#include "windows/harness.h"

namespace {

// The process's open handles, asked after one by one.
int OpenHandles() {
    int open = 0;
    DWORD flags = 0;
    for (ULONG_PTR h = 4; h < 8192; h += 4) open += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) != 0;
    return open;
}

std::string ReadSetting(const std::wstring& name, const char* key = "Software\\Velumbra") {
    return Reg::ReadSetting(HKEY_CURRENT_USER, key, std::string(name.begin(), name.end()));
}

// Each value as text, nothing written and no key left open; and a REG_SZ that another program
// rewrites between the size query and the data query reads whole or empty.
TEST(Registry, ReadSettingGivesStoredValuesAsTextAlsoWhenTheyChangeWhileRead) {
    // clang-format off
    const std::map<std::wstring, std::pair<Value, std::string>> cases = {
        {L"minus", {Dw(0xFFFFFFFF), "-1"}}, {L"short", {{REG_DWORD, {0x34, 0x12}}, "4660"}},
        {L"long", {{REG_DWORD, {1, 0, 0, 0, 0}}, ""}}, {L"nonul", {Sz(L"abc", false), "abc"}},
        {L"inner", {Sz(std::wstring(L"a\0c", 3)), "a"}}, {L"sizezero", {{REG_SZ, {}}, ""}},
        {L"binary", {{REG_BINARY, {'7', 0}}, ""}}, {L"expand", {{REG_EXPAND_SZ, Sz(L"7").second}, ""}},
        {L"multi", {{REG_MULTI_SZ, Sz(L"7").second}, ""}}, {L"missing", {{REG_NONE, {}}, ""}}};
    // clang-format on
    Store({});
    for (const auto& [name, c] : cases)
        if (name != L"missing") Store({{name, c.first}}, false, false);
    const Snapshot before = Read();
    const int handles = OpenHandles();
    for (const auto& [name, c] : cases) EXPECT_EQ(ReadSetting(name), c.second) << name;
    EXPECT_EQ(ReadSetting(L"minus", "Software\\VelumbraAbsent"), "");
    EXPECT_EQ(Read(), before);
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; !done; ++i) Store({{L"grows", Sz(i % 2 ? L"a" : std::wstring(199, L'b'))}}, false, false);
    });
    int empty = 0, wrong = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = ReadSetting(L"grows");
        empty += text.empty();
        wrong += !(text.empty() || text == "a" || text == std::string(199, 'b'));
    }
    done = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(OpenHandles(), handles) << "key handles left open";
    std::printf("[ info ] %d of 3000 reads met a value that grew\n", empty);
}

}  // namespace
