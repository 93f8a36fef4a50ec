// An in-memory registry that behaves like the Windows registry for the five calls of
// IRegistry: typed values with their exact bytes, case-insensitive names, access checks,
// Windows' status codes, and a count of open handles so tests can prove nothing leaks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/call_log.h"
#include "platform/registry.h"

namespace platform {

class MemoryRegistry : public IRegistry {
public:
    struct StoredValue {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        bool operator==(const StoredValue&) const = default;
    };

    explicit MemoryRegistry(CallLog* log = nullptr) : log_(log) {}

    LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* cls, DWORD options, REGSAM access,
                         void* security, HKEY* result, DWORD* disposition) override;
    LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result) override;
    LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* size) override;
    LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD size) override;
    LONG RegCloseKey(HKEY key) override;

    // Direct access for tests; paths are relative to HKEY_CURRENT_USER.
    void Put(const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> data);
    void PutDword(const std::string& path, const std::string& name, std::uint32_t value);
    void PutText(const std::string& path, const std::string& name, const std::string& text, DWORD type = REG_SZ);
    std::optional<StoredValue> Get(const std::string& path, const std::string& name) const;
    bool KeyExists(const std::string& path) const;
    // A copy of everything stored, to compare before and after.
    std::map<std::string, std::map<std::string, StoredValue>> Snapshot() const { return keys_; }

    int OpenHandles() const { return static_cast<int>(handles_.size()); }
    int Writes() const { return writes_; }
    // A call of the named function (e.g. "RegSetValueExA") fails with this status, after
    // `skip` calls of it that behave normally.
    void FailNext(const std::string& function, LONG status, int skip = 0) { failures_[function] = {skip, status}; }

private:
    struct Handle {
        std::string path;
        REGSAM access;
    };

    static std::string Fold(const std::string& text);
    std::optional<std::string> Resolve(HKEY root, const char* subKey, LONG& status) const;
    const Handle* Find(HKEY key) const;
    const StoredValue* Lookup(const std::string& path, const std::string& name) const;
    HKEY NewHandle(const std::string& path, REGSAM access);
    bool Injected(const char* function, LONG& status);
    void Log(const std::string& entry) {
        if (log_ != nullptr) log_->Add(entry);
    }

    CallLog* log_;
    // Folded key path -> folded value name -> value. An empty path is the root itself.
    std::map<std::string, std::map<std::string, StoredValue>> keys_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    struct Failure {
        int skip;
        LONG status;
    };
    std::map<std::string, Failure> failures_;
    int writes_ = 0;
};

}  // namespace platform
