#include "platform/choosers.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/win.h"

namespace {

// The choosers' DLL is loaded the first time one opens. Linked at start, it would bring the
// shell, the printing system and their libraries into every saver process (about 9 MB more
// resident) for choosers only the settings dialog shows.
struct Comdlg32 {
    decltype(&ChooseColorA) chooseColor = nullptr;
    decltype(&GetOpenFileNameA) getOpenFileName = nullptr;
    decltype(&CommDlgExtendedError) extendedError = nullptr;
    bool Loaded() const { return chooseColor && getOpenFileName && extendedError; }
};

const Comdlg32& LoadComdlg32() {
    static const Comdlg32 loaded = [] {
        // By its full path in the system folder: no other folder is searched, on every Windows.
        char folder[MAX_PATH];
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        const bool found = length > 0 && length < MAX_PATH;
        HMODULE dll = found ? LoadLibraryA((std::string(folder, length) + "\\comdlg32.dll").c_str()) : nullptr;
        return Comdlg32{DllFunction<decltype(ChooseColorA)>(dll, "ChooseColorA"),
                        DllFunction<decltype(GetOpenFileNameA)>(dll, "GetOpenFileNameA"),
                        DllFunction<decltype(CommDlgExtendedError)>(dll, "CommDlgExtendedError")};
    }();
    return loaded;
}

}  // namespace

bool CommonDialog::ShowColor(HWND owner) {
    const Comdlg32& dll = LoadComdlg32();
    if (!dll.Loaded()) return false;
    static COLORREF custom[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                  0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    CHOOSECOLORA cc{sizeof cc, owner, nullptr, Color, custom, Flags, 0, nullptr, nullptr};
    if (!dll.chooseColor(&cc)) return false;
    Color = cc.rgbResult;
    return true;
}

bool CommonDialog::ShowOpen(HWND owner) {
    const Comdlg32& dll = LoadComdlg32();
    if (!dll.Loaded()) return false;
    std::string filter = Filter;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter.push_back('\0');  // with the string's own, the list ends in two NULs
    for (const std::string& initial : {FileName, std::string()}) {
        std::vector<char> file(32768);
        std::copy_n(initial.begin(), std::min(initial.size(), file.size() - 1), file.begin());
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.Flags = Flags;
        if (dll.getOpenFileName(&ofn)) {
            FileName = file.data();
            return true;
        }
        // A stored name the chooser cannot start from must not lock the user out: it opens
        // once more with no name. A cancel or any other failure ends here.
        if (initial.empty() || dll.extendedError() != FNERR_INVALIDFILENAME) return false;
    }
    return false;
}
