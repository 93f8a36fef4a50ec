// A folder of its own under the temporary folder for the files a test makes, removed with
// everything in it (folders deeper than MAX_PATH too) when the object goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() { RemoveTree(Long(path_)); }

    const std::string& Path() const { return path_; }
    bool Exists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

    // Writes a file (the name may lead into folders beyond MAX_PATH); its path.
    std::string Write(const std::string& name, const std::vector<unsigned char>& data) const {
        const std::string path = path_ + "\\" + name;
        HANDLE file =
            CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            if (!data.empty()) WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
            CloseHandle(file);
        }
        return path;
    }

    // Nested folders until the path is at least `length` characters long; that path.
    std::string DeepFolder(std::size_t length) const {
        std::string deep = path_;
        while (deep.size() < length) {
            deep += "\\" + std::string(40, 'd');
            CreateDirectoryW(Long(deep).c_str(), nullptr);
        }
        return deep;
    }

    // "\\?\" paths reach beyond MAX_PATH.
    static std::wstring Long(const std::string& path) {
        std::wstring wide(path.size() + 1, L'\0');
        const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
        wide.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
        return L"\\\\?\\" + wide;
    }

private:
    static void RemoveTree(const std::wstring& path) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(child);
                else
                    DeleteFileW(child.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::string path_;
};
