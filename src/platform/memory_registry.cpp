#include "platform/memory_registry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

std::string Hex(DWORD value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(value));
    return buffer;
}

std::string Status(LONG status) { return " -> " + std::to_string(status); }

std::string Name(const char* name) { return name == nullptr ? "(default)" : name; }

}  // namespace

std::string MemoryRegistry::Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool MemoryRegistry::Injected(const char* function, LONG& status) {
    auto it = failures_.find(function);
    if (it == failures_.end()) return false;
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    status = it->second.status;
    failures_.erase(it);
    return true;
}

const MemoryRegistry::Handle* MemoryRegistry::Find(HKEY key) const {
    static const Handle currentUser{"", 0xF003F};
    if (key == HKEY_CURRENT_USER) return &currentUser;
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
    return it == handles_.end() ? nullptr : &it->second;
}

std::optional<std::string> MemoryRegistry::Resolve(HKEY root, const char* subKey, LONG& status) const {
    const Handle* base = Find(root);
    if (base == nullptr) {
        status = ERROR_INVALID_HANDLE;
        return std::nullopt;
    }
    std::string path = base->path;
    if (subKey != nullptr && *subKey != '\0') {
        if (!path.empty()) path += '\\';
        path += Fold(subKey);
    }
    status = ERROR_SUCCESS;
    return path;
}

HKEY MemoryRegistry::NewHandle(const std::string& path, REGSAM access) {
    const std::uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = Handle{path, access};
    return reinterpret_cast<HKEY>(value);
}

LONG MemoryRegistry::RegCreateKeyExA(HKEY root, const char* subKey, DWORD, char*, DWORD options, REGSAM access,
                                     void*, HKEY* result, DWORD* disposition) {
    LONG status = ERROR_SUCCESS;
    const std::string entry = std::string("RegCreateKeyExA ") + (subKey ? subKey : "") + " options=" +
                              std::to_string(options) + " access=" + Hex(access);
    if (result == nullptr) {
        status = ERROR_INVALID_PARAMETER;
    } else if (!Injected("RegCreateKeyExA", status)) {
        if (auto path = Resolve(root, subKey, status)) {
            const bool existed = keys_.count(*path) != 0;
            // Creating a key creates every missing key above it.
            for (std::size_t at = 0; (at = path->find('\\', at)) != std::string::npos; ++at)
                keys_[path->substr(0, at)];
            keys_[*path];
            if (!existed) ++writes_;
            *result = NewHandle(*path, access);
            if (disposition != nullptr) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
        }
    }
    Log(entry + Status(status));
    return status;
}

LONG MemoryRegistry::RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
    LONG status = ERROR_SUCCESS;
    const std::string entry = std::string("RegOpenKeyExA ") + (subKey ? subKey : "") + " options=" +
                              std::to_string(options) + " access=" + Hex(access);
    if (result == nullptr) {
        status = ERROR_INVALID_PARAMETER;
    } else {
        *result = nullptr;
        if (!Injected("RegOpenKeyExA", status)) {
            if (auto path = Resolve(root, subKey, status)) {
                if (keys_.count(*path) == 0 && !path->empty())
                    status = ERROR_FILE_NOT_FOUND;
                else
                    *result = NewHandle(*path, access);
            }
        }
    }
    Log(entry + Status(status));
    return status;
}

LONG MemoryRegistry::RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                                      DWORD* size) {
    LONG status = ERROR_SUCCESS;
    const std::string entry = "RegQueryValueExA " + Name(name) + (data == nullptr ? " buffer=null" : " buffer");
    const Handle* handle = Find(key);
    if (handle == nullptr) {
        status = ERROR_INVALID_HANDLE;
    } else if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        status = ERROR_INVALID_PARAMETER;
    } else if ((handle->access & KEY_QUERY_VALUE) == 0) {
        status = ERROR_ACCESS_DENIED;
    } else if (!Injected("RegQueryValueExA", status)) {
        const StoredValue* value = Lookup(handle->path, name == nullptr ? "" : name);
        if (value == nullptr) {
            status = ERROR_FILE_NOT_FOUND;
        } else {
            const DWORD stored = static_cast<DWORD>(value->data.size());
            if (type != nullptr) *type = value->type;
            if (data != nullptr && *size < stored) {
                status = ERROR_MORE_DATA;
            } else if (data != nullptr && stored != 0) {
                std::memcpy(data, value->data.data(), stored);
            }
            if (size != nullptr) *size = stored;
        }
    }
    Log(entry + Status(status));
    return status;
}

LONG MemoryRegistry::RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    LONG status = ERROR_SUCCESS;
    const std::string entry =
        "RegSetValueExA " + Name(name) + " type=" + std::to_string(type) + " size=" + std::to_string(size);
    const Handle* handle = Find(key);
    if (handle == nullptr) {
        status = ERROR_INVALID_HANDLE;
    } else if (data == nullptr && size != 0) {
        status = ERROR_INVALID_PARAMETER;
    } else if ((handle->access & KEY_SET_VALUE) == 0) {
        status = ERROR_ACCESS_DENIED;
    } else if (!Injected("RegSetValueExA", status)) {
        StoredValue& value = keys_[handle->path][Fold(name == nullptr ? "" : name)];
        value.type = type;
        value.data.assign(data, data + size);
        ++writes_;
    }
    Log(entry + Status(status));
    return status;
}

LONG MemoryRegistry::RegCloseKey(HKEY key) {
    LONG status = ERROR_SUCCESS;
    std::string entry = "RegCloseKey ";
    if (key == nullptr) {
        entry += "null";
        status = ERROR_INVALID_HANDLE;
    } else if (key == HKEY_CURRENT_USER) {
        entry += "HKCU";
    } else {
        entry += "key";
        if (handles_.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) status = ERROR_INVALID_HANDLE;
    }
    Log(entry + Status(status));
    return status;
}

void MemoryRegistry::Put(const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> data) {
    const std::string folded = Fold(path);
    for (std::size_t at = 0; (at = folded.find('\\', at)) != std::string::npos; ++at) keys_[folded.substr(0, at)];
    keys_[folded][Fold(name)] = StoredValue{type, std::move(data)};
}

void MemoryRegistry::PutDword(const std::string& path, const std::string& name, std::uint32_t value) {
    Put(path, name, REG_DWORD,
        {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
         static_cast<BYTE>(value >> 24)});
}

void MemoryRegistry::PutText(const std::string& path, const std::string& name, const std::string& text, DWORD type) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    Put(path, name, type, std::move(data));
}

const MemoryRegistry::StoredValue* MemoryRegistry::Lookup(const std::string& path, const std::string& name) const {
    auto key = keys_.find(Fold(path));
    if (key == keys_.end()) return nullptr;
    auto value = key->second.find(Fold(name));
    return value == key->second.end() ? nullptr : &value->second;
}

std::optional<MemoryRegistry::StoredValue> MemoryRegistry::Get(const std::string& path,
                                                               const std::string& name) const {
    const StoredValue* value = Lookup(path, name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

bool MemoryRegistry::KeyExists(const std::string& path) const { return keys_.count(Fold(path)) != 0; }

}  // namespace platform
