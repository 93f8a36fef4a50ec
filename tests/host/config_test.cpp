#include <limits>

#include "config/frmConfig.h"
#include "fixture.h"
#include "platform/text.h"

namespace {

using settings::SettingsRecord;
using Outcome = forms::DialogOutcome;

class Dialog : public HostTest {
protected:
    frmConfig& Open(SettingsRecord s) {
        settings::Current() = std::move(s);
        frmConfig& form = forms::LoadForm<frmConfig>();
        form.pop();
        return form;
    }
    // What "&Ok" stored, read back through the settings store.
    SettingsRecord PressOk(frmConfig& form) {
        EXPECT_TRUE(Ends([&] { form.Command2[1]->Press(); }));
        settings::LoadSettings();
        return settings::Current();
    }
    static int Selected(forms::OptionButton* const* group, int count) {
        for (int i = 0; i < count; ++i)
            if (group[i]->Value()) return i;
        return -1;
    }
};

TEST_F(Dialog, StateAsCreated) {
    frmConfig& form = forms::LoadForm<frmConfig>();
    EXPECT_EQ(Selected(form.optImage, 2), 1);
    EXPECT_EQ(Selected(form.optDisable, 5), -1);
    EXPECT_EQ(form.chkOpaque->Value() + form.chkStretch->Value() + form.varTrans->Value(), 0);
    EXPECT_EQ(form.txtFadeTime->Text(), "0");
    EXPECT_EQ(form.lblTrans->Caption(), "50% Transparent");
    EXPECT_EQ(form.optDisable[3]->container(), form.Frame3[1]);
    EXPECT_EQ(form.cmd->Filter.size(), 129u);
    EXPECT_TRUE(Calls({"Show "}).empty());
}

TEST_F(Dialog, TransparencyLabelForEveryScrollValue) {
    const int percent[32] = {0,  3,  6,  9,  12, 16, 19, 22, 25, 28, 31, 34, 38, 41, 44, 47,
                             50, 53, 56, 59, 62, 66, 69, 72, 75, 78, 81, 84, 88, 91, 94, 97};
    for (int v = 0; v < 32; ++v) EXPECT_EQ(TransparencyLabel(v, 31), std::to_string(percent[v]) + "% Transparent");
}

TEST_F(Dialog, PopShowsTheSettingsAndOkSavesThemBack) {
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    struct Case {
        SettingsRecord stored;
        int scroll;
        const char* label;
        const char* fadeText;
        const char* caption;
        SettingsRecord saved;
    } cases[] = {
        {{0x123456, 128, 0, "", 0, 0}, 16, "50%", "0", "", {0x123456, 128, 0, "", 0, 0}},
        {{0, 5, 0, "", 0, 0}, 0, "0%", "0", "", {0, 0, 0, "", 0, 0}},
        {{0, 255, 45, "", 0, 0}, 31, "97%", "45", "", {0, 248, 45, "", 0, 0}},
        {{0, 100, -30, "", 0, 0}, 12, "38%", "30", "", {0, 96, -30, "", 0, 0}},
        {{0, 128, lowest, "", 0, 0}, 16, "50%", "2147483647", "", {0, 128, -2147483647, "", 0, 0}},
        {{0, 128, 0, "D:\\pics\\sky.bmp", -1, 3}, 16, "50%", "0", "sky.bmp", {0, 128, 0, "D:\\pics\\sky.bmp", -1, 3}},
        {{0, 128, 0, "sky.bmp", 0, 4}, 16, "50%", "0", "sky.bmp", {0, 128, 0, "sky.bmp", 0, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored.transvalue << " " << c.stored.opaquetime << " " << c.caption);
        frmConfig& form = Open(c.stored);
        const bool fades = c.stored.opaquetime > 0;
        EXPECT_EQ(form.varTrans->Value(), c.scroll);
        EXPECT_EQ(form.lblTrans->Caption(), c.label + std::string(" Transparent"));
        EXPECT_EQ(form.txtFadeTime->Text(), c.fadeText);
        EXPECT_EQ(form.chkOpaque->Value(), fades ? 1 : 0);
        EXPECT_EQ(form.txtFadeTime->Enabled(), fades);
        EXPECT_EQ(form.optImage[0]->Caption(), c.caption);
        EXPECT_EQ(Selected(form.optImage, 2), *c.caption ? 0 : 1);
        EXPECT_EQ(form.chkStretch->Value(), c.stored.imagestretch ? 1 : 0);
        EXPECT_EQ(Selected(form.optDisable, 5), c.stored.disablecorner);
        EXPECT_EQ(Calls({"Show "}), std::vector<std::string>{"Show frmConfig"});
        EXPECT_EQ(PressOk(form), c.saved);
        log.Clear();
    }
}

TEST_F(Dialog, CancelAndCloseSaveNothing) {
    for (bool close : {false, true}) {
        frmConfig& form = Open({0, 128, 0, "", 0, 0});
        form.optDisable[2]->SetValue(true);  // goes into the record at once, but not to the registry
        EXPECT_EQ(settings::Current().disablecorner, 2);
        EXPECT_TRUE(Ends([&] { close ? form.Unload() : form.Command2[2]->Press(); }));
        EXPECT_EQ(registry.Writes(), 0);
    }
}

TEST_F(Dialog, ColourChooser) {
    for (Outcome outcome : {Outcome::Confirmed, Outcome::Cancelled, Outcome::Failed}) {
        frmConfig& form = Open({0x00AA00, 128, 0, "", 0, 0});
        backend.onShowColor = [&](forms::CommonDialog& d) {
            EXPECT_EQ(d.Flags, 3u);
            EXPECT_EQ(d.Color, 0x00AA00u);  // starts from the box's colour
            d.Color = 0x0000FF;
            return outcome;
        };
        form.Command1[0]->Press();
        const COLORREF expected = outcome == Outcome::Confirmed ? 0x0000FF : 0x00AA00;
        EXPECT_EQ(form.boxColor->FillColor(), expected);
        EXPECT_EQ(PressOk(form).formcolor, static_cast<std::int32_t>(expected));
    }
}

TEST_F(Dialog, PictureOptionAndChooser) {
    struct Case {
        const char* stored;
        Outcome outcome;
        bool clickNone;  // "(None)" chosen before "&Ok"
        const char* caption;
        const char* saved;
    } cases[] = {
        {"", Outcome::Cancelled, false, "", ""},
        {"", Outcome::Confirmed, false, "new.jpg", "C:\\pics\\new.jpg"},
        {"", Outcome::Confirmed, true, "new.jpg", ""},
        {"D:\\pics\\", Outcome::Cancelled, false, "", ""},  // no file name: asks before showing
        {"D:\\pics\\", Outcome::Failed, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << " " << static_cast<int>(c.outcome));
        int opened = 0;
        backend.onShowOpen = [&](forms::CommonDialog& d) {
            ++opened;
            EXPECT_EQ(d.Flags, 0x200100Fu);
            EXPECT_EQ(d.FileName, c.stored);
            d.FileName = "C:\\pics\\new.jpg";
            return c.outcome;
        };
        frmConfig& form = Open({0, 128, 0, c.stored, 0, 0});
        if (*c.stored == '\0') form.optImage[0]->SetValue(true);  // the caption-less picture option
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(form.optImage[0]->Caption(), c.caption);
        EXPECT_EQ(Selected(form.optImage, 2), *c.caption ? 0 : 1);
        if (c.clickNone) form.optImage[1]->SetValue(true);
        EXPECT_EQ(PressOk(form).imagename, c.saved);
    }
}

TEST_F(Dialog, FadeTimeKeyFilter) {
    frmConfig& form = Open({0, 128, 5, "", 0, 0});
    form.txtFadeTime->SetText("");
    for (char typed : std::string("1a-2 \b+3.e456789")) form.txtFadeTime->Type(typed);
    EXPECT_EQ(form.txtFadeTime->Text(), "123456");  // digits only, six at most
    EXPECT_EQ(backend.beeps, 7);
}

TEST_F(Dialog, OkWithAFadeTimeThatIsNoWholeNumber) {
    struct Case {
        const char* text;
        bool saves;
        std::int32_t seconds;
    } cases[] = {{"", true, 0}, {" 12 ", true, 12}, {"12a", false, 0}, {"-5", false, 0}, {"1.5", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        registry = platform::MemoryRegistry(&log);
        frmConfig& form = Open({0, 128, 7, "", 0, 0});
        form.txtFadeTime->TextEdited(c.text);  // pasted past the key filter
        log.Clear();
        EXPECT_EQ(Ends([&] { form.Command2[1]->Press(); }), c.saves);
        if (c.saves) {
            settings::LoadSettings();
            EXPECT_EQ(settings::Current().opaquetime, c.seconds);
        } else {
            EXPECT_EQ(registry.Writes(), 0);
            EXPECT_EQ(Calls({"Beep"}).size(), 1u);
        }
    }
}

TEST_F(Dialog, AboutBoxKeepsTheDialogOpen) {
    frmConfig& form = Open({0, 128, 0, "", 0, 0});
    EXPECT_FALSE(Ends([&] { form.Command2[0]->Press(); }));
    EXPECT_EQ(backend.lastMsgBoxTitle, "Velumbra 1.6.13 for Win2K");
    EXPECT_EQ(backend.lastMsgBoxStyle, 64);
    const std::string& t = backend.lastMsgBoxText;  // credit, blank line, e-mail, web address
    const auto blank = t.find("\n\n");
    ASSERT_NE(blank, std::string::npos);
    EXPECT_NE(t.find('@', blank), std::string::npos);
    EXPECT_NE(t.find("\nhttps://", blank + 2), std::string::npos);
}

class CaptionFit : public Dialog {
protected:
    // The picture option's caption for a name, with `perChar` twips a letter and `perDot` a
    // full stop; the room is 1695 - 315 = 1380 twips.
    std::string Fit(const std::string& name, float perChar, float perDot = 10) {
        backend.measure = [=](const std::string& s) {
            float width = 0;
            for (char c : s) width += c == '.' ? perDot : perChar;
            return width;
        };
        backend.measurements = backend.doEvents = 0;
        return Open({0, 128, 0, "C:\\" + name, 0, 0}).optImage[0]->Caption();
    }
};

TEST_F(CaptionFit, ShortenedWithAnEllipsisUntilItFits) {
    struct Case {
        std::string name;
        float perChar;
        std::string caption;
        float perDot = 10;
    } cases[] = {
        {"", 90, ""},
        {std::string(15, 'a'), 92, std::string(15, 'a')},          // exactly the room
        {std::string(16, 'a'), 90, std::string(15, 'a') + "..."},  // one too long: one goes
        {std::string(16, 'a'), 92, std::string(14, 'a') + "..."},  // 15 alone would fit: "..." still added
        {"abcdef", 300, "a...", 300},
        {"abcdef", 1000, "...", 500},  // even "..." is too wide: "..." all the same
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " at " + std::to_string(c.perChar));
        EXPECT_EQ(Fit(c.name, c.perChar, c.perDot), c.caption);
        EXPECT_LE(backend.measurements, static_cast<int>(c.name.size()) + 2);
    }
}

TEST_F(CaptionFit, LongNameCostsOneMeasurementAndOneYieldAPass) {
    EXPECT_EQ(Fit(std::string(400, 'x'), 90), std::string(15, 'x') + "...");
    EXPECT_EQ(backend.measurements, 387);  // the name, the name with "...", then 385 passes
    EXPECT_EQ(backend.doEvents, 385);
}

TEST_F(CaptionFit, CountsCharactersNotBytesInUtf8) {
    text::SetUtf8(true);
    std::string name, kept;
    for (int i = 0; i < 20; ++i) name += "\xC3\xA9";  // 20 two-byte letters
    for (int i = 0; i < 12; ++i) kept += "\xC3\xA9";
    backend.measure = [](const std::string& s) { return 90.0f * static_cast<float>(text::Length(s)); };
    EXPECT_EQ(Open({0, 128, 0, "C:\\" + name, 0, 0}).optImage[0]->Caption(), kept + "...");
    text::SetUtf8(false);
}

TEST_F(CaptionFit, HandlersThatRunWhileFitting) {
    const std::string longName = "C:\\" + std::string(300, 'y') + ".jpg";
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "a second choice");
        registry = platform::MemoryRegistry(&log);
        frmConfig& form = Open({0, 128, 0, "", 0, 0});
        int choice = 0;
        backend.onShowOpen = [&](forms::CommonDialog& d) {
            d.FileName = ++choice == 1 ? longName : "C:\\second.bmp";
            return Outcome::Confirmed;
        };
        backend.doEvents = 0;
        backend.onDoEvents = [&] {
            if (backend.doEvents == 10) (cancel ? form.Command2[2] : form.Command1[1])->Press();
        };
        EXPECT_EQ(Ends([&] { form.Command1[1]->Press(); }), cancel);
        backend.onDoEvents = nullptr;
        if (cancel) {
            EXPECT_EQ(registry.Writes(), 0);
        } else {  // the newer choice's caption stands
            EXPECT_EQ(form.optImage[0]->Caption(), "second.bmp");
            EXPECT_EQ(settings::Current().imagename, "C:\\second.bmp");
        }
    }
}

}  // namespace
