#include "registry_contract.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "settings/reg.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Dword(std::uint32_t v) {
    return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
}
std::pair<DWORD, Bytes> Stored(DWORD type, Bytes data) { return {type, std::move(data)}; }

Bytes Text(const std::string& s, bool nul = true) {
    Bytes b(s.begin(), s.end());
    if (nul) b.push_back(0);
    return b;
}

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override {
        env_ = MakeContractRegistry();
        platform::SetRegistry(&env_->Registry());
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        key_ = std::string("Software\\VelumbraContract\\") + info->name();
        env_->Remove(key_);
        baseline_ = env_->OpenHandles();
    }
    void TearDown() override {
        ExpectNoLeak();
        env_->Remove(key_);
    }
    platform::IRegistry& R() { return env_->Registry(); }

    void ExpectNoLeak() {
        const auto now = env_->OpenHandles();
        if (now && baseline_) {
            EXPECT_EQ(*now, *baseline_) << "a key handle was left open";
        }
    }

    // Stores raw bytes of any type, creating the key.
    void Put(const std::string& name, DWORD type, const Bytes& data) {
        HKEY key = nullptr;
        ASSERT_EQ(R().RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, Reg::kAccess, nullptr, &key,
                                      nullptr), 0);
        ASSERT_EQ(R().RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                     static_cast<DWORD>(data.size())), 0);
        R().RegCloseKey(key);
    }

    // The raw value, or type REG_NONE with no bytes when there is none.
    std::pair<DWORD, Bytes> Get(const std::string& name) {
        HKEY key = nullptr;
        if (R().RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_QUERY_VALUE, &key) != 0) return {REG_NONE, {}};
        DWORD type = REG_NONE, size = 0;
        std::pair<DWORD, Bytes> out{REG_NONE, {}};
        if (R().RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == 0) {
            // A guard byte after the buffer catches a write past the reported size.
            Bytes buffer(size + 1, 0xAB);
            DWORD got = size;
            if (R().RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer.data(), &got) == 0) {
                EXPECT_EQ(buffer[size], 0xAB);
                out = {type, Bytes(buffer.begin(), buffer.begin() + got)};
            }
        }
        R().RegCloseKey(key);
        return out;
    }

    bool KeyExists() {
        HKEY key = nullptr;
        const LONG status = R().RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_QUERY_VALUE, &key);
        if (status == 0) R().RegCloseKey(key);
        return status == 0;
    }

    std::unique_ptr<ContractRegistry> env_;
    std::string key_;
    std::optional<int> baseline_;
};

TEST_F(RegistryContract, ReadSettingGivesStoredValuesAsText) {
    struct Case {
        const char* name;
        DWORD type;
        Bytes data;
        const char* text;
    } cases[] = {
        {"dword", REG_DWORD, Dword(128), "128"},
        {"minus", REG_DWORD, Dword(0xFFFFFFFF), "-1"},
        {"top", REG_DWORD, Dword(0x80000000), "-2147483648"},
        {"short", REG_DWORD, {0x34, 0x12}, "4660"},
        {"long", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, ""},
        {"text", REG_SZ, Text("abc"), "abc"},
        {"nonul", REG_SZ, Text("abc", false), "abc"},
        {"inner", REG_SZ, {'a', 'b', 0, 'c', 'd', 0}, "ab"},
        {"empty", REG_SZ, Text(""), ""},
        {"sizezero", REG_SZ, {}, ""},
        {"binary", REG_BINARY, {1, 2, 3, 4}, ""},
        {"expand", REG_EXPAND_SZ, Text("%TEMP%"), ""},
        {"multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, ""},
        {"bigend", REG_DWORD_BIG_ENDIAN, Dword(1), ""},
    };
    for (const Case& c : cases) Put(c.name, c.type, c.data);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, key_, c.name), c.text);
        ExpectNoLeak();
    }
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, key_, "missing"), "");
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, key_ + "\\Absent", "dword"), "");
}

TEST_F(RegistryContract, ReadTypedValueStatuses) {
    Put("text", REG_SZ, Text("abc"));
    Put("binary", REG_BINARY, {1});
    Put("sizezero", REG_SZ, {});
    HKEY key = nullptr;
    ASSERT_EQ(R().RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, Reg::kAccess, &key), 0);
    struct Case {
        HKEY key;
        const char* name;
        LONG status;
        bool keepsValue;
    } cases[] = {
        {key, "text", 0, false},
        {key, "missing", ERROR_FILE_NOT_FOUND, true},
        {key, "binary", Reg::kUnhandledType, true},
        {key, "sizezero", 0, true},
        {nullptr, "text", ERROR_INVALID_HANDLE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reg::Value value = std::int32_t{42};
        EXPECT_EQ(Reg::ReadTypedValue(c.key, c.name, value), c.status);
        EXPECT_EQ(value == Reg::Value(std::int32_t{42}), c.keepsValue);
    }
    R().RegCloseKey(key);
    EXPECT_EQ(R().RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryContract, WriteTypedValueStoresExactBytes) {
    Put("seed", REG_DWORD, Dword(0));
    struct Case {
        const char* name;
        DWORD type;
        Reg::Value value;
        DWORD storedType;
        Bytes stored;
    } cases[] = {
        {"text", REG_SZ, std::string("abc"), REG_SZ, Text("abc")},
        {"empty", REG_SZ, std::string(), REG_SZ, Text("")},
        {"number", REG_SZ, std::int32_t{-30}, REG_SZ, Text("-30")},
        {"short", REG_DWORD, std::int16_t{-1}, REG_DWORD, Dword(0xFFFFFFFF)},
        {"long", REG_DWORD, std::int32_t{0x1000000}, REG_DWORD, Dword(0x1000000)},
        {"numeric", REG_DWORD, std::string(" 12 "), REG_DWORD, Dword(12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, key_, c.name, c.value, c.type), 0);
        EXPECT_EQ(Get(c.name), Stored(c.storedType, c.stored));
    }
    // Text that is no number is refused for a REG_DWORD, and nothing is written.
    EXPECT_NE(Reg::WriteSetting(HKEY_CURRENT_USER, key_, "bad", std::string("x"), REG_DWORD), 0);
    EXPECT_EQ(Get("bad").first, REG_NONE);
    // Overwriting replaces the type and the data.
    EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, key_, "text", std::int32_t{7}, REG_DWORD), 0);
    EXPECT_EQ(Get("text"), Stored(REG_DWORD, Dword(7)));
}

TEST_F(RegistryContract, WriteSettingNeverCreatesTheKey) {
    EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, key_, "v", std::int32_t{1}, REG_DWORD), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyExists());
}

TEST_F(RegistryContract, EnsureKeyCreatesOrKeeps) {
    EXPECT_FALSE(KeyExists());
    EXPECT_EQ(Reg::EnsureKey(HKEY_CURRENT_USER, key_), 0);
    EXPECT_TRUE(KeyExists());
    Put("v", REG_SZ, Text("kept"));
    EXPECT_EQ(Reg::EnsureKey(HKEY_CURRENT_USER, key_), 0);
    EXPECT_EQ(Get("v"), Stored(REG_SZ, Text("kept")));
}

}  // namespace
