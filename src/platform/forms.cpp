#include "platform/forms.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/application.h"

namespace forms {
namespace {

Backend* g_backend = nullptr;
std::unique_ptr<Form> g_loaded;

}  // namespace

Backend& CurrentBackend() {
    if (g_backend == nullptr) std::abort();
    return *g_backend;
}
void SetBackend(Backend* backend) { g_backend = backend; }

void AdoptLoadedForm(std::unique_ptr<Form> form) {
    g_loaded = std::move(form);
    g_loaded->Load();
}
void DiscardLoadedForm() { g_loaded.reset(); }

void DoEvents() { CurrentBackend().DoEvents(); }
void Beep() { CurrentBackend().Beep(); }
void MsgBox(const std::string& text, int style, const std::string& title) {
    CurrentBackend().MsgBox(text, style, title);
}
void RunEventLoop() { CurrentBackend().RunEventLoop(); }

// ---- Control

Control::Control(Form& form, Kind kind, std::string name, int index, Control* container)
    : form_(&form), kind_(kind), name_(std::move(name)), index_(index), container_(container) {
    form.controls_.push_back(this);
}

Control::Control(Kind kind, std::string name)
    : form_(nullptr), kind_(kind), name_(std::move(name)), index_(-1), container_(nullptr) {}

void Control::Changed(Prop prop) {
    if (form_ != nullptr && form_->Loaded()) CurrentBackend().Changed(*this, prop);
}

void Control::SetLeft(float value) { Move(value, top_, width_, height_); }
void Control::SetTop(float value) { Move(left_, value, width_, height_); }
void Control::SetWidth(float value) { Move(left_, top_, value, height_); }
void Control::SetHeight(float value) { Move(left_, top_, width_, value); }

void Control::Move(float left, float top, float width, float height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed(Prop::Geometry);
}

void Control::SetEnabled(bool value) {
    if (enabled_ == value) return;
    enabled_ = value;
    Changed(Prop::Enabled);
}

void Control::SetCaption(std::string value) {
    caption_ = std::move(value);
    Changed(Prop::Caption);
}

// ---- Pictures

std::shared_ptr<Picture> LoadPicture(const std::string& path) {
    std::shared_ptr<Picture> picture = CurrentBackend().LoadPicture(path);
    if (!picture) throw PictureError("cannot load picture");
    // Sizes beyond 32-bit twips would overflow the placement arithmetic: such a picture
    // counts as one that did not load, like an empty one.
    constexpr float kLimit = static_cast<float>(std::numeric_limits<std::int32_t>::max());
    const auto usable = [&](float v) { return std::isfinite(v) && v > 0.0f && v < kLimit; };
    if (!usable(picture->width) || !usable(picture->height)) throw PictureError("unusable picture size");
    return picture;
}

// ---- Timer

Timer::Timer(Form& form, std::string name) : Control(form, Kind::Timer, std::move(name)) { SetEnabled(false); }

void Timer::SetInterval(std::int32_t milliseconds) {
    interval_ = std::clamp<std::int32_t>(milliseconds, 0, kMaxInterval);
    Changed(Prop::Interval);
}

void Timer::Tick() {
    if (Enabled() && OnTimer) OnTimer();
}

// ---- Image

Image::Image(Form& form, std::string name) : Control(form, Kind::Image, std::move(name)) {}

void Image::SetPicture(std::shared_ptr<Picture> picture) {
    picture_ = std::move(picture);
    if (picture_ && !stretch_) Move(Left(), Top(), picture_->width, picture_->height);
    Changed(Prop::Picture);
}

void Image::SetStretch(bool value) {
    stretch_ = value;
    Changed(Prop::Picture);
}

// ---- Option buttons, check boxes, command buttons

void OptionButton::SetValue(bool value) {
    if (value_ == value) return;
    value_ = value;
    Changed(Prop::Value);
    if (!value) return;
    for (Control* other : form().Controls()) {
        auto* option = other->kind() == Kind::OptionButton ? static_cast<OptionButton*>(other) : nullptr;
        if (option != nullptr && option != this && option->container() == container() && option->value_) {
            option->value_ = false;
            option->Changed(Prop::Value);
        }
    }
    if (OnClick) OnClick(index());
}

void CheckBox::SetValue(int value) {
    if (value_ == value) return;
    value_ = value;
    Changed(Prop::Value);
    if (OnClick) OnClick();
}

void CommandButton::Press() {
    if (Enabled() && OnClick) OnClick(index());
}

// ---- Text box

void TextBox::SetText(std::string value) {
    text_ = std::move(value);
    Changed(Prop::Text);
}

int TextBox::FilterKey(int code) {
    if (OnKeyPress) OnKeyPress(code);
    return code;
}

void TextBox::Type(char character) {
    if (!Enabled()) return;
    const int code = FilterKey(static_cast<unsigned char>(character));
    if (code == 0 || (maxLength > 0 && static_cast<int>(text_.size()) >= maxLength)) return;
    SetText(text_ + static_cast<char>(code));
}

// ---- Scroll bar

void HScrollBar::SetValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value_ == value) return;
    value_ = value;
    Changed(Prop::Value);
    if (OnChange) OnChange();
}

void HScrollBar::SetRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    value_ = std::clamp(value_, min_, max_);
    Changed(Prop::Value);
}

// ---- Shape and common dialog

void Shape::SetFillColor(COLORREF value) {
    fillColor_ = value;
    Changed(Prop::FillColor);
}

namespace {
void Outcome(DialogOutcome outcome) {
    if (outcome != DialogOutcome::Confirmed) throw DialogError(outcome == DialogOutcome::Cancelled);
}
}  // namespace

void CommonDialog::ShowColor() { Outcome(CurrentBackend().ShowColor(*this)); }
void CommonDialog::ShowOpen() { Outcome(CurrentBackend().ShowOpen(*this)); }

// ---- Form

Form::Form(std::string name) : Control(Kind::Form, std::move(name)) { SetForm(this); }

void Form::Load() {
    if (loaded_) return;
    loaded_ = true;
    Backend& backend = CurrentBackend();
    backend.Created(*this);
    for (Control* control : controls_) backend.Created(*control);
}

void Form::Show() {
    visible_ = true;
    Changed(Prop::Visible);
}

void Form::Hide() {
    visible_ = false;
    Changed(Prop::Visible);
}

void Form::Unload() {
    if (!loaded_) return;
    std::int16_t cancel = 0;
    if (OnUnload) OnUnload(cancel);
    if (cancel != 0) return;
    visible_ = false;
    loaded_ = false;
    CurrentBackend().Destroyed(*this);
}

HWND Form::hWnd() const { return CurrentBackend().WindowOf(*this); }

void Form::SetBackColor(COLORREF value) {
    backColor_ = value;
    Changed(Prop::BackColor);
}

void Form::SetWindowState(int value) {
    windowState_ = value;
    Changed(Prop::Geometry);
}

float Form::TextWidth(const std::string& text) const { return CurrentBackend().TextWidth(*this, text); }

void Form::KeyDown(std::int16_t key, std::int16_t shift) {
    if (OnKeyDown) OnKeyDown(key, shift);
}

Image* Form::ImageAt(float x, float y) const {
    // The last created lies on top.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if ((*it)->kind() != Kind::Image) continue;
        auto* image = static_cast<Image*>(*it);
        if (image->GetPicture() && x >= image->Left() && x < image->Left() + image->Width() && y >= image->Top() &&
            y < image->Top() + image->Height())
            return image;
    }
    return nullptr;
}

void Form::MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
    if (Image* image = ImageAt(x, y)) {
        if (image->OnMouseDown) image->OnMouseDown(button, shift, x - image->Left(), y - image->Top());
    } else if (OnMouseDown) {
        OnMouseDown(button, shift, x, y);
    }
}

void Form::MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    if (Image* image = ImageAt(x, y)) {
        if (image->OnMouseMove) image->OnMouseMove(button, shift, x - image->Left(), y - image->Top());
    } else if (OnMouseMove) {
        OnMouseMove(button, shift, x, y);
    }
}

}  // namespace forms
