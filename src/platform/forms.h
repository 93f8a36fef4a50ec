// The forms runtime: a small retained model of the controls the two forms use, with the
// properties and events the program relies on. The model holds the state and raises the
// events; a back end (Win32 windows, or headless for host tests) mirrors it and reports user
// actions back through the same entry points a test uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace forms {

enum class Kind { Form, Timer, Image, OptionButton, CheckBox, CommandButton, TextBox, HScrollBar, Label, Frame,
                  Shape, CommonDialog };
// What changed, for the back end to mirror.
enum class Prop { Geometry, Caption, Value, Enabled, Visible, BackColor, Picture, Interval, Text, FillColor, Focus };

class Form;
class Backend;

class Control {
public:
    Control(Form& form, Kind kind, std::string name, int index = -1, Control* container = nullptr);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    Control* container() const { return container_; }
    Form& form() const { return *form_; }

    // Geometry in twips, relative to the container's client area.
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void SetLeft(float value);
    void SetTop(float value);
    void SetWidth(float value);
    void SetHeight(float value);
    void Move(float left, float top, float width, float height);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string value);
    int TabIndex() const { return tabIndex_; }
    void SetTabIndex(int value) { tabIndex_ = value; }
    // Moves the keyboard focus here; a text box then has its whole text selected.
    void SetFocus() { Changed(Prop::Focus); }
    // False when "&" in the caption is shown as it is rather than marking an access key.
    bool mnemonic = true;

    // The back end's own data for this control (its window, its timer id, ...).
    void* peer = nullptr;

protected:
    void Changed(Prop prop);
    Control(Kind kind, std::string name);  // for Form, which is its own form
    void SetForm(Form* form) { form_ = form; }

private:
    Form* form_;
    Kind kind_;
    std::string name_;
    int index_;
    Control* container_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool enabled_ = true;
    std::string caption_;
    int tabIndex_ = -1;
};

// A decoded picture: its size in twips (from its pixels and the screen's DPI) and its pixels,
// 32-bit premultiplied BGRA, top row first.
struct Picture {
    float width = 0;
    float height = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    std::vector<std::uint32_t> pixels;
};

struct PictureError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Loads a picture file; throws PictureError for a missing, unreadable or unsupported file,
// and for a picture whose size is zero or does not fit 32-bit twips.
std::shared_ptr<Picture> LoadPicture(const std::string& path);

class Timer : public Control {
public:
    Timer(Form& form, std::string name);
    std::int32_t Interval() const { return interval_; }
    void SetInterval(std::int32_t milliseconds);
    const std::string& Tag() const { return tag_; }
    void SetTag(std::string value) { tag_ = std::move(value); }
    // A tick: raises the Timer event while enabled.
    void Tick();
    std::function<void()> OnTimer;

    // The longest interval the timer accepts, in milliseconds.
    static constexpr std::int32_t kMaxInterval = 0x7FFFFFFF;

private:
    std::int32_t interval_ = 0;
    std::string tag_;
};

using MouseEvent = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

class Image : public Control {
public:
    Image(Form& form, std::string name);
    const std::shared_ptr<Picture>& GetPicture() const { return picture_; }
    // Without Stretch the control takes the picture's own size.
    void SetPicture(std::shared_ptr<Picture> picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    MouseEvent OnMouseDown;
    MouseEvent OnMouseMove;

private:
    std::shared_ptr<Picture> picture_;
    bool stretch_ = false;
};

class OptionButton : public Control {
public:
    using Control::Control;
    bool Value() const { return value_; }
    // Selecting deselects the others of its group (same container) and raises Click.
    void SetValue(bool value);
    std::function<void(int index)> OnClick;

private:
    bool value_ = false;
};

class CheckBox : public Control {
public:
    using Control::Control;
    int Value() const { return value_; }
    // 0 unchecked, 1 checked; a change raises Click.
    void SetValue(int value);
    // The user's click.
    void Toggle() { SetValue(value_ == 0 ? 1 : 0); }
    std::function<void()> OnClick;

private:
    int value_ = 0;
};

class CommandButton : public Control {
public:
    using Control::Control;
    bool isDefault = false;  // pressed by Enter
    bool isCancel = false;   // pressed by Esc
    void Press();
    std::function<void(int index)> OnClick;
};

class TextBox : public Control {
public:
    using Control::Control;
    const std::string& Text() const { return text_; }
    void SetText(std::string value);
    int maxLength = 0;  // 0: no limit
    // A typed character goes through the KeyPress filter; the code it returns (0: discarded)
    // is what reaches the box.
    int FilterKey(int code);
    // A typed character as a whole: filtered, then added at the end if room remains.
    void Type(char character);
    // The back end reports the text the user has edited.
    void TextEdited(std::string value) { text_ = std::move(value); }
    std::function<void(int& code)> OnKeyPress;

private:
    std::string text_;
};

class HScrollBar : public Control {
public:
    using Control::Control;
    int Value() const { return value_; }
    // Clamped to Min..Max; a change raises Change.
    void SetValue(int value);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetRange(int min, int max);
    int smallChange = 1;
    int largeChange = 1;
    std::function<void()> OnChange;

private:
    int value_ = 0, min_ = 0, max_ = 32767;
};

class Label : public Control {
public:
    using Control::Control;
    bool centred = false;
};

class Frame : public Control {
public:
    using Control::Control;
};

class Shape : public Control {
public:
    using Control::Control;
    COLORREF FillColor() const { return fillColor_; }
    void SetFillColor(COLORREF value);

private:
    COLORREF fillColor_ = 0;
};

struct DialogError : std::runtime_error {
    explicit DialogError(bool cancelled) : std::runtime_error(cancelled ? "cancelled" : "failed"), cancelled(cancelled) {}
    bool cancelled;
};

enum class DialogOutcome { Confirmed, Cancelled, Failed };

// The common dialog control: the system colour and file-open choosers.
class CommonDialog : public Control {
public:
    using Control::Control;
    DWORD Flags = 0;
    COLORREF Color = 0;
    std::string FileName;
    std::string Filter;
    // Return when the user confirms; throw DialogError when the chooser is cancelled or fails.
    void ShowColor();
    void ShowOpen();
};

class Form : public Control {
public:
    explicit Form(std::string name);

    // Creates the window and its controls as designed; nothing is shown, no form code runs.
    void Load();
    bool Loaded() const { return loaded_; }
    void Show();
    void Hide();
    bool Visible() const { return visible_; }
    // Raises Unload; unless cancelled, the window goes.
    void Unload();

    HWND hWnd() const;
    COLORREF BackColor() const { return backColor_; }
    void SetBackColor(COLORREF value);
    int WindowState() const { return windowState_; }
    void SetWindowState(int value);
    float TextWidth(const std::string& text) const;

    const std::vector<Control*>& Controls() const { return controls_; }

    // User input, in twips of the client area.
    void KeyDown(std::int16_t key, std::int16_t shift);
    void MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void MouseMove(std::int16_t button, std::int16_t shift, float x, float y);

    std::function<void(std::int16_t key, std::int16_t shift)> OnKeyDown;
    MouseEvent OnMouseDown;
    MouseEvent OnMouseMove;
    std::function<void(std::int16_t& cancel)> OnUnload;

    static constexpr int kMaximized = 2;

    // Window settings as designed.
    enum class Border { None, FixedDialog };
    Border border = Border::None;
    bool showInTaskbar = true;
    int iconResource = 0;  // 0: no icon

private:
    friend class Control;
    // The windowless picture under the point, if any.
    Image* ImageAt(float x, float y) const;

    std::vector<Control*> controls_;
    bool loaded_ = false;
    bool visible_ = false;
    COLORREF backColor_ = 0x8000000F;
    int windowState_ = 0;
};

// The back end that makes the model real.
class Backend {
public:
    virtual ~Backend() = default;
    virtual void Created(Control& control) = 0;  // at load, the form first, then its controls in order
    virtual void Changed(Control& control, Prop prop) = 0;
    virtual void Destroyed(Form& form) = 0;
    virtual HWND WindowOf(const Form& form) = 0;
    virtual float TextWidth(const Form& form, const std::string& text) = 0;
    virtual std::shared_ptr<Picture> LoadPicture(const std::string& path) = 0;  // nullptr on failure
    virtual DialogOutcome ShowColor(CommonDialog& dialog) = 0;
    virtual DialogOutcome ShowOpen(CommonDialog& dialog) = 0;
    virtual void MsgBox(const std::string& text, int style, const std::string& title) = 0;
    virtual void Beep() = 0;
    virtual void DoEvents() = 0;
    virtual void RunEventLoop() = 0;
};

Backend& CurrentBackend();
void SetBackend(Backend* backend);

// Keeps the form as the process's one loaded form and loads it.
void AdoptLoadedForm(std::unique_ptr<Form> form);

template <class F>
F& LoadForm() {
    auto form = std::make_unique<F>();
    F& ref = *form;
    AdoptLoadedForm(std::move(form));
    return ref;
}
// For tests: forget the loaded form.
void DiscardLoadedForm();

void DoEvents();
void Beep();
void MsgBox(const std::string& text, int style, const std::string& title);
void RunEventLoop();

}  // namespace forms
