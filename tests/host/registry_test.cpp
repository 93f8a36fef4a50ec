// The Reg routines' calls as made, in order, against the in-memory registry.
#include "fixture.h"
#include "settings/reg.h"

namespace {

class RegCalls : public HostTest {};

TEST_F(RegCalls, EachRoutineOpensDoesOneThingAndCloses) {
    registry.PutText(kKey, "imagename", "sky.bmp");
    struct Case {
        const char* what;
        std::function<void()> run;
        std::vector<std::string> calls;
    } cases[] = {
        {"read", [] { Reg::ReadSetting(HKEY_CURRENT_USER, kKey, "imagename"); },
         {"RegOpenKeyExA Software\\Velumbra options=0 access=0x3f -> 0", "RegQueryValueExA imagename buffer=null -> 0",
          "RegQueryValueExA imagename buffer -> 0", "RegCloseKey key -> 0"}},
        {"read, key missing", [] { Reg::ReadSetting(HKEY_CURRENT_USER, "Software\\Absent", "x"); },
         {"RegOpenKeyExA Software\\Absent options=0 access=0x3f -> 2", "RegQueryValueExA x buffer=null -> 6",
          "RegCloseKey null -> 6"}},
        {"write", [] { Reg::WriteSetting(HKEY_CURRENT_USER, kKey, "n", std::int32_t{5}, REG_DWORD); },
         {"RegOpenKeyExA Software\\Velumbra options=0 access=0x3f -> 0", "RegSetValueExA n type=4 size=4 -> 0",
          "RegCloseKey key -> 0"}},
        {"write, key missing", [] { Reg::WriteSetting(HKEY_CURRENT_USER, "Software\\Absent", "n", std::int32_t{5}, REG_DWORD); },
         {"RegOpenKeyExA Software\\Absent options=0 access=0x3f -> 2"}},
        {"ensure", [] { Reg::EnsureKey(HKEY_CURRENT_USER, kKey); },
         {"RegCreateKeyExA Software\\Velumbra options=0 access=0x3f -> 0", "RegCloseKey key -> 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.Clear();
        c.run();
        EXPECT_EQ(log.Entries(), c.calls);
        EXPECT_EQ(registry.OpenHandles(), 0);
    }
}

TEST_F(RegCalls, FailedSecondQuery) {
    // The value may change between the size query and the data query, as another program
    // might change it: text becomes empty, a number stays as it was.
    registry.PutText(kKey, "text", "sky.bmp");
    registry.PutDword(kKey, "number", 5);
    HKEY key = nullptr;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, Reg::kAccess, &key), 0);
    for (const char* name : {"text", "number"}) {
        SCOPED_TRACE(name);
        Reg::Value value = std::string("before");
        registry.FailNext("RegQueryValueExA", ERROR_MORE_DATA, 1);
        EXPECT_EQ(Reg::ReadTypedValue(key, name, value), ERROR_MORE_DATA);
        EXPECT_EQ(value, Reg::Value(std::string(name) == "text" ? "" : "before"));
    }
    registry.RegCloseKey(key);
}

}  // namespace
