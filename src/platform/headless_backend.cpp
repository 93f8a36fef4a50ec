#include "platform/headless_backend.h"

namespace forms {

void HeadlessBackend::Created(Control& control) {
    if (control.kind() == Kind::Form) log_.Add("Load " + control.name());
}

void HeadlessBackend::Changed(Control& control, Prop prop) {
    if (control.kind() == Kind::Form && prop == Prop::Visible)
        log_.Add((static_cast<Form&>(control).Visible() ? "Show " : "Hide ") + control.name());
}

void HeadlessBackend::Destroyed(Form& form) { log_.Add("Unload " + form.name()); }

HWND HeadlessBackend::WindowOf(const Form&) { return FakeWindow(); }

float HeadlessBackend::TextWidth(const Form&, const std::string& text) {
    ++measurements;
    return measure ? measure(text) : 90.0f * static_cast<float>(text.size());
}

std::shared_ptr<Picture> HeadlessBackend::LoadPicture(const std::string& path) {
    log_.Add("LoadPicture " + path);
    auto it = pictures.find(path);
    if (it == pictures.end()) return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->width = it->second.first;
    picture->height = it->second.second;
    return picture;
}

DialogOutcome HeadlessBackend::ShowColor(CommonDialog& dialog) {
    log_.Add("ShowColor");
    return onShowColor ? onShowColor(dialog) : DialogOutcome::Cancelled;
}

DialogOutcome HeadlessBackend::ShowOpen(CommonDialog& dialog) {
    log_.Add("ShowOpen");
    return onShowOpen ? onShowOpen(dialog) : DialogOutcome::Cancelled;
}

void HeadlessBackend::MsgBox(const std::string& text, int style, const std::string& title) {
    log_.Add("MsgBox " + title);
    lastMsgBoxText = text;
    lastMsgBoxStyle = style;
    lastMsgBoxTitle = title;
}

void HeadlessBackend::Beep() {
    log_.Add("Beep");
    ++beeps;
}

void HeadlessBackend::DoEvents() {
    ++doEvents;
    if (onDoEvents) onDoEvents();
}

}  // namespace forms
