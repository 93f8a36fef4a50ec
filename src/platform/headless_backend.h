// A back end without windows, for host tests: it records what the forms do in the shared
// CallLog and lets a test play the user (and the choosers, the text measure and the event
// loop) through plain callbacks.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/call_log.h"
#include "platform/forms.h"

namespace forms {

class HeadlessBackend : public Backend {
public:
    explicit HeadlessBackend(platform::CallLog& log) : log_(log) {}

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
    void RunEventLoop() override {}

    // The window handle every form reports.
    static HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(0x1234)); }

    // Width of a text in twips; by default 90 twips (6 pixels) per character.
    std::function<float(const std::string&)> measure;
    int measurements = 0;
    // Runs inside each DoEvents, as the events waiting in the queue would.
    std::function<void()> onDoEvents;
    int doEvents = 0;
    // The user's answer to a chooser; without one, it is cancelled.
    std::function<DialogOutcome(CommonDialog&)> onShowColor;
    std::function<DialogOutcome(CommonDialog&)> onShowOpen;
    // Pictures that load: path -> size in twips.
    std::map<std::string, std::pair<float, float>> pictures;
    int beeps = 0;
    std::string lastMsgBoxTitle, lastMsgBoxText;
    int lastMsgBoxStyle = 0;

private:
    platform::CallLog& log_;
};

}  // namespace forms
