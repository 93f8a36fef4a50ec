#include "config/frmConfig.h"

#include <cstdlib>
#include <limits>
#include <optional>

#include "platform/application.h"
#include "platform/numbers.h"
#include "platform/text.h"
#include "settings/settings.h"

using forms::Kind;

const char* const kPictureFilter =
    "All Images|*.bmp;*.jpg;*.gif;*.ico|Bitmaps (*.bmp)|*.bmp|JPEGs (*.jpg)|*.jpg|GIFs (*.gif)|*.gif|"
    "Icons (*.ico)|*.ico|All Files|*.*";

namespace {

// The dialog as designed, in order of creation (a frame's contents follow the frame).
// Lengths in twips; tab -1 where the control takes no focus.
struct ControlRow {
    Kind kind;
    const char* name;
    int index;
    const char* container;  // nullptr: the window
    int containerIndex;
    const char* caption;    // the text, for the text box
    int left, top, width, height;
    int tab;
};

constexpr ControlRow kLayout[] = {
    {Kind::Frame, "Frame3", 1, nullptr, -1, "Disabling Corner", 360, 3900, 2895, 1035, 16},
    {Kind::OptionButton, "optDisable", 0, "Frame3", 1, "(None)", 1320, 480, 1095, 255, 21},
    {Kind::OptionButton, "optDisable", 3, "Frame3", 1, "", 840, 660, 255, 255, 20},
    {Kind::OptionButton, "optDisable", 2, "Frame3", 1, "", 840, 300, 255, 255, 19},
    {Kind::OptionButton, "optDisable", 1, "Frame3", 1, "", 420, 660, 255, 255, 18},
    {Kind::OptionButton, "optDisable", 4, "Frame3", 1, "", 420, 300, 255, 255, 17},
    {Kind::Frame, "Frame3", 0, nullptr, -1, "Background Image", 360, 2760, 2895, 1035, 11},
    {Kind::OptionButton, "optImage", 1, "Frame3", 0, "(None)", 1860, 240, 975, 255, 15},
    {Kind::OptionButton, "optImage", 0, "Frame3", 0, "", 120, 240, 1695, 255, 14},
    {Kind::CheckBox, "chkStretch", -1, "Frame3", 0, "Stretch Image", 1380, 660, 1455, 255, 13},
    {Kind::CommandButton, "Command1", 1, "Frame3", 0, "Cha&nge", 120, 600, 1095, 375, 12},
    {Kind::CommandButton, "Command2", 2, nullptr, -1, "&Cancel", 1320, 5100, 975, 375, 3},
    {Kind::CommandButton, "Command2", 1, nullptr, -1, "&Ok", 2520, 5100, 975, 375, 2},
    {Kind::CommandButton, "Command2", 0, nullptr, -1, "&About", 120, 5100, 975, 375, 4},
    {Kind::Frame, "Frame2", -1, nullptr, -1, "Alpha Transparency", 360, 960, 2895, 1695, 6},
    {Kind::TextBox, "txtFadeTime", -1, "Frame2", -1, "0", 960, 1260, 675, 285, 9},
    {Kind::CheckBox, "chkOpaque", -1, "Frame2", -1, "Transition to Opaque", 120, 960, 2175, 255, 8},
    {Kind::HScrollBar, "varTrans", -1, "Frame2", -1, "", 120, 240, 2655, 255, 1},
    {Kind::Label, "lblTrans", -1, "Frame2", -1, "50% Transparent", 240, 600, 2415, 255, 7},
    {Kind::Label, "Label1", -1, "Frame2", -1, "Seconds", 1740, 1320, 975, 255, 10},
    {Kind::Frame, "Frame1", -1, nullptr, -1, "Fade to Color", 360, 120, 2895, 735, 5},
    {Kind::CommandButton, "Command1", 0, "Frame1", -1, "C&hange", 1200, 240, 1575, 375, 0},
    {Kind::Shape, "boxColor", -1, "Frame1", -1, "", 120, 240, 855, 375, -1},
    {Kind::CommonDialog, "cmd", -1, nullptr, -1, "", 3360, 1080, 0, 0, -1},
};

constexpr float kClientWidth = 3615;
constexpr float kClientHeight = 5565;
// The part of the picture option's width taken by its selection mark.
constexpr float kOptionMarkWidth = 315.0f;

constexpr DWORD kColorFlags = 0x3;         // CC_RGBINIT | CC_FULLOPEN
constexpr DWORD kOpenFlags = 0x200100F;    // read-only hidden, must exist, no cwd change, not in recent
constexpr int kInformation = 64;           // message box: information icon, OK button

const char* const kCredit = "Velumbra dims your screen instead of hiding it. Written with care by the Velumbra team.";
const char* const kContact = "velumbra@example.org";
const char* const kWeb = "https://velumbra.example.org/";

std::unique_ptr<forms::Control> MakeControl(forms::Form& form, const ControlRow& row, forms::Control* container) {
    switch (row.kind) {
        case Kind::Frame: return std::make_unique<forms::Frame>(form, row.kind, row.name, row.index, container);
        case Kind::OptionButton:
            return std::make_unique<forms::OptionButton>(form, row.kind, row.name, row.index, container);
        case Kind::CheckBox: return std::make_unique<forms::CheckBox>(form, row.kind, row.name, row.index, container);
        case Kind::CommandButton:
            return std::make_unique<forms::CommandButton>(form, row.kind, row.name, row.index, container);
        case Kind::TextBox: return std::make_unique<forms::TextBox>(form, row.kind, row.name, row.index, container);
        case Kind::HScrollBar:
            return std::make_unique<forms::HScrollBar>(form, row.kind, row.name, row.index, container);
        case Kind::Label: return std::make_unique<forms::Label>(form, row.kind, row.name, row.index, container);
        case Kind::Shape: return std::make_unique<forms::Shape>(form, row.kind, row.name, row.index, container);
        case Kind::CommonDialog:
            return std::make_unique<forms::CommonDialog>(form, row.kind, row.name, row.index, container);
        default: std::abort();  // the layout holds no other kind
    }
}

// A whole number as typed into the fade-time box: digits only, blanks around allowed,
// within 32 bits. Empty text counts as 0.
std::optional<std::int32_t> FadeSeconds(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return 0;
    const auto last = text.find_last_not_of(" \t");
    std::int64_t value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::string TransparencyLabel(int value, int max) {
    const std::int16_t divisor = static_cast<std::int16_t>(max + 1);
    const double percent = static_cast<double>(value) / divisor * 100.0;
    return std::to_string(num::ToInt16(percent)) + "% Transparent";
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <class T>
T* frmConfig::Find(const char* name, int index) const {
    for (const auto& made : controls_)
        if (made->name() == name && made->index() == index) return static_cast<T*>(made.get());
    std::abort();  // the layout names every control the form uses
}

frmConfig::frmConfig() : forms::Form("frmConfig") {
    SetCaption("Configure Velumbra");
    Move(0, 0, kClientWidth, kClientHeight);
    border = Border::FixedDialog;
    iconResource = 1;

    for (const ControlRow& row : kLayout) {
        forms::Control* container =
            row.container == nullptr ? nullptr : Find<forms::Control>(row.container, row.containerIndex);
        auto control = MakeControl(*this, row, container);
        control->Move(row.left, row.top, row.width, row.height);
        control->SetTabIndex(row.tab);
        if (row.kind == Kind::TextBox)
            static_cast<forms::TextBox&>(*control).SetText(row.caption);
        else
            control->SetCaption(row.caption);
        controls_.push_back(std::move(control));
    }

    Frame1 = Find<forms::Frame>("Frame1");
    Frame2 = Find<forms::Frame>("Frame2");
    for (int i = 0; i < 2; ++i) Frame3[i] = Find<forms::Frame>("Frame3", i);
    for (int i = 0; i < 5; ++i) optDisable[i] = Find<forms::OptionButton>("optDisable", i);
    for (int i = 0; i < 2; ++i) optImage[i] = Find<forms::OptionButton>("optImage", i);
    for (int i = 0; i < 2; ++i) Command1[i] = Find<forms::CommandButton>("Command1", i);
    for (int i = 0; i < 3; ++i) Command2[i] = Find<forms::CommandButton>("Command2", i);
    chkStretch = Find<forms::CheckBox>("chkStretch");
    chkOpaque = Find<forms::CheckBox>("chkOpaque");
    txtFadeTime = Find<forms::TextBox>("txtFadeTime");
    varTrans = Find<forms::HScrollBar>("varTrans");
    lblTrans = Find<forms::Label>("lblTrans");
    Label1 = Find<forms::Label>("Label1");
    boxColor = Find<forms::Shape>("boxColor");
    cmd = Find<forms::CommonDialog>("cmd");

    // Further design settings; no event handler is attached yet, so none runs.
    optImage[1]->SetValue(true);
    Command2[2]->isCancel = true;
    Command2[1]->isDefault = true;
    txtFadeTime->maxLength = 6;
    varTrans->SetRange(0, 31);
    varTrans->smallChange = 1;
    varTrans->largeChange = 4;
    lblTrans->centred = true;
    optImage[0]->mnemonic = false;  // a file name shows its "&" as it is
    cmd->Filter = kPictureFilter;

    for (int i = 0; i < 2; ++i) Command1[i]->OnClick = [this](int index) { Command1_Click(index); };
    for (int i = 0; i < 3; ++i) Command2[i]->OnClick = [this](int index) { Command2_Click(index); };
    for (int i = 0; i < 2; ++i) optImage[i]->OnClick = [this](int index) { optImage_Click(index); };
    for (int i = 0; i < 5; ++i) optDisable[i]->OnClick = [this](int index) { optDisable_Click(index); };
    chkOpaque->OnClick = [this] { chkOpaque_Click(); };
    txtFadeTime->OnKeyPress = [this](int& keyAscii) { txtFadeTime_KeyPress(keyAscii); };
    varTrans->OnChange = [this] { varTrans_Change(); };
    OnUnload = [this](std::int16_t& cancel) { Form_Unload(cancel); };
}

void frmConfig::pop() {
    const settings::SettingsRecord& s = settings::Current();
    boxColor->SetFillColor(static_cast<COLORREF>(s.formcolor));
    varTrans->SetValue(num::ToInt16(s.transvalue / 8));
    ShowTransparency();

    // The magnitude of the most negative value does not fit: it shows as the largest one.
    const std::int32_t seconds = s.opaquetime == std::numeric_limits<std::int32_t>::min()
                                     ? std::numeric_limits<std::int32_t>::max()
                                     : std::abs(s.opaquetime);
    txtFadeTime->SetText(std::to_string(seconds));
    if (s.opaquetime > 0) {
        chkOpaque->SetValue(1);
        txtFadeTime->SetEnabled(true);
    } else {
        chkOpaque->SetValue(0);
        txtFadeTime->SetEnabled(false);
    }

    if (!s.imagename.empty()) {
        FitImageCaption(FileNamePart(s.imagename));
        optImage[0]->SetValue(true);
    }
    if (s.imagestretch != 0) chkStretch->SetValue(1);
    if (s.disablecorner >= 0 && s.disablecorner <= 4) optDisable[s.disablecorner]->SetValue(true);
    Show();
}

void frmConfig::ShowTransparency() { lblTrans->SetCaption(TransparencyLabel(varTrans->Value(), varTrans->Max())); }

void frmConfig::varTrans_Change() { ShowTransparency(); }

void frmConfig::chkOpaque_Click() { txtFadeTime->SetEnabled(chkOpaque->Value() == 1); }

void frmConfig::optDisable_Click(int index) { settings::Current().disablecorner = static_cast<std::int16_t>(index); }

void frmConfig::txtFadeTime_KeyPress(int& keyAscii) {
    if (keyAscii < '0' || keyAscii > '9') {
        forms::Beep();
        keyAscii = 0;
    }
}

void frmConfig::optImage_Click(int index) {
    if (index != 0) return;
    if (!optImage[0]->Caption().empty()) return;
    Command1_Click(1);
    if (optImage[0]->Caption().empty()) optImage[1]->SetValue(true);
}

void frmConfig::Command1_Click(int index) {
    if (index == 0) {
        cmd->Flags = kColorFlags;
        cmd->Color = boxColor->FillColor();
        bool failed = false;
        try {
            cmd->ShowColor();
        } catch (const forms::DialogError&) {
            failed = true;  // cancelled or failed: nothing changes
        }
        if (failed) return;
        boxColor->SetFillColor(cmd->Color);
    } else if (index == 1) {
        cmd->Flags = kOpenFlags;
        cmd->FileName = settings::Current().imagename;
        bool failed = false;
        try {
            cmd->ShowOpen();
        } catch (const forms::DialogError&) {
            failed = true;
        }
        if (failed) return;
        settings::Current().imagename = cmd->FileName;
        FitImageCaption(FileNamePart(settings::Current().imagename));
        optImage[0]->SetValue(true);
    }
}

void frmConfig::Command2_Click(int index) {
    if (index == 0) {
        platform::IApplication& a = platform::App();
        const std::string title = "Velumbra " + std::to_string(a.Major()) + "." + std::to_string(a.Minor()) + "." +
                                  std::to_string(a.Revision()) + " for Win2K";
        forms::MsgBox(std::string(kCredit) + "\n\n" + kContact + "\n" + kWeb, kInformation, title);
    } else if (index == 1) {
        SaveAndClose();
    } else if (index == 2) {
        Unload();
    }
}

void frmConfig::SaveAndClose() {
    const auto seconds = FadeSeconds(txtFadeTime->Text());
    if (!seconds) {
        // Text pasted past the key filter: refuse it and show where the fault is.
        forms::Beep();
        if (txtFadeTime->Enabled()) txtFadeTime->SetFocus(); else chkOpaque->SetFocus();
        return;
    }
    std::int32_t t = *seconds;
    if (chkOpaque->Value() == 0) t = -t;
    settings::SettingsRecord& s = settings::Current();
    if (optImage[1]->Value()) s.imagename.clear();
    const COLORREF k = boxColor->FillColor();
    const int v = varTrans->Value();
    const int stretch = chkStretch->Value();
    settings::SaveSettings(static_cast<std::int32_t>(k), v * 8, t, s.imagename, stretch == 1 ? -1 : 0,
                           s.disablecorner);
    Unload();
}

void frmConfig::Form_Unload(std::int16_t&) { platform::EndProgram(); }

void frmConfig::FitImageCaption(std::string name) {
    const unsigned generation = ++fitGeneration_;
    const auto fits = [this](const std::string& text) {
        const float room = optImage[0]->Width() - kOptionMarkWidth;
        return room >= TextWidth(text);  // false for a width that cannot be compared
    };
    std::string s = std::move(name);
    if (!fits(s)) {
        s += "...";
        while (!fits(s)) {
            const std::size_t length = text::Length(s);  // in characters, not bytes
            if (length <= 3) break;  // even "..." does not fit: "..." it is
            s = text::Left(s, length - 4) + "...";
            forms::DoEvents();
            // A newer fit began meanwhile (another picture was chosen): its caption stands.
            if (generation != fitGeneration_) return;
        }
    }
    optImage[0]->SetCaption(s);
}
