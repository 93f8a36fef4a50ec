// The Win32 back end of the forms runtime: real windows for the forms and their controls,
// the system choosers and message box, the event loop, and picture decoding.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace forms {

// Decodes a BMP, JPEG, GIF or ICO file (and whatever else the system's codecs read) into
// premultiplied BGRA; nullptr when the file cannot be read as a picture.
std::shared_ptr<Picture> DecodePictureFile(const std::string& path);
// Rows converted per request while decoding.
constexpr UINT kDecodeBandRows = 256;

class Win32Backend : public Backend {
public:
    explicit Win32Backend(HINSTANCE instance);
    ~Win32Backend() override;

    void Created(Control& control) override;
    void Changed(Control& control, Prop prop) override;
    void Destroyed(Form& form) override;
    HWND WindowOf(const Form& form) override;
    float TextWidth(const Form& form, const std::string& text) override;
    std::shared_ptr<Picture> LoadPicture(const std::string& path) override;
    DialogOutcome ShowColor(CommonDialog& dialog) override;
    DialogOutcome ShowOpen(CommonDialog& dialog) override;
    void MsgBox(const std::string& text, int style, const std::string& title) override;
    void Beep() override;
    void DoEvents() override;
    void RunEventLoop() override;

    struct Peer;

private:
    static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnFormMessage(Form& form, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(Form& form, int id, int code);
    void OnScroll(HScrollBar& bar, int code);
    void OnPaint(Form& form, HWND hwnd);
    void CreateFormWindow(Form& form);
    void CreateChild(Control& control);
    void ArrangeTabOrder(Form& form);
    void PlaceForm(Form& form);
    void PlaceChild(Control& control);
    void SyncTimer(Timer& timer);
    void SyncValue(Control& control);
    bool Dispatch(MSG& msg);

    Peer& PeerOf(const Control& control) const;
    int PixelsX(float twips) const;
    int PixelsY(float twips) const;

    HINSTANCE instance_;
    HFONT font_ = nullptr;
    std::vector<std::unique_ptr<Peer>> peers_;
    std::map<int, Control*> byId_;
    HWND dialog_ = nullptr;  // the form that takes dialog keys (Tab, Esc, Enter, Alt+letter)
    int nextId_ = 100;
};

}  // namespace forms
