#include <limits>

#include "config/frmConfig.h"
#include "platform/text.h"
#include "fixture.h"

namespace {

using settings::SettingsRecord;

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
    EXPECT_EQ(form.chkOpaque->Value(), 0);
    EXPECT_EQ(form.chkStretch->Value(), 0);
    EXPECT_EQ(form.txtFadeTime->Text(), "0");
    EXPECT_EQ(form.varTrans->Value(), 0);
    EXPECT_EQ(form.lblTrans->Caption(), "50% Transparent");
    EXPECT_EQ(form.optDisable[3]->container(), form.Frame3[1]);
    EXPECT_EQ(form.optImage[0]->container(), form.Frame3[0]);
    EXPECT_EQ(form.txtFadeTime->container(), form.Frame2);
    EXPECT_EQ(form.Caption(), "Configure Velumbra");
    EXPECT_EQ(form.cmd->Filter.size(), 129u);
    EXPECT_EQ(Calls({"Show "}).size(), 0u);
}

TEST_F(Dialog, TransparencyLabelForEveryScrollValue) {
    const int percent[32] = {0,  3,  6,  9,  12, 16, 19, 22, 25, 28, 31, 34, 38, 41, 44, 47,
                             50, 53, 56, 59, 62, 66, 69, 72, 75, 78, 81, 84, 88, 91, 94, 97};
    for (int v = 0; v < 32; ++v) EXPECT_EQ(TransparencyLabel(v, 31), std::to_string(percent[v]) + "% Transparent");
}

TEST_F(Dialog, PopShowsTheSettingsAndOkSavesThemBack) {
    struct Case {
        SettingsRecord stored;
        int scroll;
        const char* label;
        const char* fadeText;
        bool fadeOn;
        const char* caption;
        int image;  // selected picture option
        SettingsRecord saved;
    } cases[] = {
        {{0x123456, 128, 0, "", 0, 0}, 16, "50% Transparent", "0", false, "", 1, {0x123456, 128, 0, "", 0, 0}},
        {{0, 5, 0, "", 0, 0}, 0, "0% Transparent", "0", false, "", 1, {0, 0, 0, "", 0, 0}},
        {{0, 255, 45, "", 0, 0}, 31, "97% Transparent", "45", true, "", 1, {0, 248, 45, "", 0, 0}},
        {{0, 100, -30, "", 0, 0}, 12, "38% Transparent", "30", false, "", 1, {0, 96, -30, "", 0, 0}},
        {{0, 128, std::numeric_limits<std::int32_t>::min(), "", 0, 0}, 16, "50% Transparent", "2147483647", false, "",
         1, {0, 128, -2147483647, "", 0, 0}},
        {{0, 128, 0, "D:\\pics\\sky.bmp", -1, 3}, 16, "50% Transparent", "0", false, "sky.bmp", 0,
         {0, 128, 0, "D:\\pics\\sky.bmp", -1, 3}},
        {{0, 128, 0, "sky.bmp", 0, 4}, 16, "50% Transparent", "0", false, "sky.bmp", 0, {0, 128, 0, "sky.bmp", 0, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.transvalue);
        SCOPED_TRACE(c.stored.opaquetime);
        frmConfig& form = Open(c.stored);
        EXPECT_EQ(form.varTrans->Value(), c.scroll);
        EXPECT_EQ(form.lblTrans->Caption(), c.label);
        EXPECT_EQ(form.txtFadeTime->Text(), c.fadeText);
        EXPECT_EQ(form.chkOpaque->Value(), c.fadeOn ? 1 : 0);
        EXPECT_EQ(form.txtFadeTime->Enabled(), c.fadeOn);
        EXPECT_EQ(form.optImage[0]->Caption(), c.caption);
        EXPECT_EQ(Selected(form.optImage, 2), c.image);
        EXPECT_EQ(form.chkStretch->Value(), c.stored.imagestretch ? 1 : 0);
        EXPECT_EQ(Selected(form.optDisable, 5), c.stored.disablecorner);
        EXPECT_EQ(Calls({"Show "}), std::vector<std::string>{"Show frmConfig"});
        EXPECT_EQ(PressOk(form), c.saved);
        log.Clear();
    }
}

TEST_F(Dialog, OkWritesTheSixValuesInOrderWithTheirTypes) {
    frmConfig& form = Open({0, 128, 0, "D:\\a.bmp", 0, 2});
    form.optImage[1]->SetValue(true);  // "(None)" drops the picture
    form.chkOpaque->Toggle();
    EXPECT_TRUE(form.txtFadeTime->Enabled());
    form.txtFadeTime->SetText("0");
    log.Clear();
    EXPECT_TRUE(Ends([&] { form.Command2[1]->Press(); }));
    EXPECT_EQ(Calls({"RegSetValueExA"}), (std::vector<std::string>{
                                             "RegSetValueExA formcolor type=4 size=4 -> 0",
                                             "RegSetValueExA transvalue type=4 size=4 -> 0",
                                             "RegSetValueExA opaquetime type=4 size=4 -> 0",
                                             "RegSetValueExA imagename type=1 size=1 -> 0",
                                             "RegSetValueExA disablecorner type=4 size=4 -> 0",
                                             "RegSetValueExA imagestretch type=4 size=4 -> 0",
                                         }));
    settings::LoadSettings();
    EXPECT_EQ(settings::Current(), (SettingsRecord{0, 128, 0, "", 0, 2}));
}

TEST_F(Dialog, CancelAndCloseSaveNothing) {
    const std::vector<std::function<void(frmConfig&)>> ways = {
        [](frmConfig& f) { f.Command2[2]->Press(); },
        [](frmConfig& f) { f.Unload(); },  // the close box, Esc
    };
    for (const auto& way : ways) {
        frmConfig& form = Open({0, 128, 0, "", 0, 0});
        form.optDisable[2]->SetValue(true);
        backend.onShowColor = [](forms::CommonDialog& d) {
            d.Color = 0xFF;
            return forms::DialogOutcome::Confirmed;
        };
        form.Command1[0]->Press();
        EXPECT_TRUE(Ends([&] { way(form); }));
        EXPECT_EQ(registry.Writes(), 0);
        EXPECT_FALSE(registry.KeyExists(kKey));
    }
}

TEST_F(Dialog, CornerClickIsStoredByOk) {
    frmConfig& form = Open({0, 128, 0, "", 0, 0});
    form.optDisable[4]->SetValue(true);
    EXPECT_EQ(settings::Current().disablecorner, 4);
    form.optDisable[1]->SetValue(true);
    EXPECT_EQ(PressOk(form).disablecorner, 1);
}

TEST_F(Dialog, ColourChooser) {
    for (auto outcome : {forms::DialogOutcome::Confirmed, forms::DialogOutcome::Cancelled,
                         forms::DialogOutcome::Failed}) {
        frmConfig& form = Open({0x00AA00, 128, 0, "", 0, 0});
        DWORD flags = 0;
        COLORREF offered = 0;
        backend.onShowColor = [&](forms::CommonDialog& d) {
            flags = d.Flags;
            offered = d.Color;
            d.Color = 0x0000FF;
            return outcome;
        };
        form.Command1[0]->Press();
        EXPECT_EQ(flags, 3u);
        EXPECT_EQ(offered, 0x00AA00u);
        const COLORREF expected = outcome == forms::DialogOutcome::Confirmed ? 0x0000FF : 0x00AA00;
        EXPECT_EQ(form.boxColor->FillColor(), expected);
        EXPECT_EQ(PressOk(form).formcolor, static_cast<std::int32_t>(expected));
    }
}

TEST_F(Dialog, PictureOptionOpensTheChooserWhenNoPictureIsNamed) {
    struct Case {
        const char* stored;
        forms::DialogOutcome outcome;
        int selected;
        const char* caption;
        const char* saved;
    } cases[] = {
        {"", forms::DialogOutcome::Cancelled, 1, "", ""},
        {"", forms::DialogOutcome::Confirmed, 0, "new.jpg", "C:\\pics\\new.jpg"},
        {"D:\\pics\\", forms::DialogOutcome::Cancelled, 1, "", ""},
        {"D:\\pics\\", forms::DialogOutcome::Failed, 1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        int opened = 0;
        std::string offered;
        backend.onShowOpen = [&](forms::CommonDialog& d) {
            ++opened;
            offered = d.FileName;
            EXPECT_EQ(d.Flags, 0x200100Fu);
            d.FileName = "C:\\pics\\new.jpg";
            return c.outcome;
        };
        settings::Current() = {0, 128, 0, c.stored, 0, 0};
        frmConfig& form = forms::LoadForm<frmConfig>();
        form.pop();  // a name ending in "\" asks for a picture before the window shows
        if (*c.stored == '\0') form.optImage[0]->SetValue(true);
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(offered, c.stored);
        EXPECT_EQ(Selected(form.optImage, 2), c.selected);
        EXPECT_EQ(form.optImage[0]->Caption(), c.caption);
        EXPECT_EQ(PressOk(form).imagename, c.saved);
    }
}

TEST_F(Dialog, FadeTimeKeyFilter) {
    frmConfig& form = Open({0, 128, 5, "", 0, 0});
    form.txtFadeTime->SetText("");
    for (char typed : std::string("1a-2 \b+3.e4"))
        form.txtFadeTime->Type(typed);
    EXPECT_EQ(form.txtFadeTime->Text(), "1234");
    EXPECT_EQ(backend.beeps, 7);
    for (char typed : std::string("56789")) form.txtFadeTime->Type(typed);
    EXPECT_EQ(form.txtFadeTime->Text(), "123456");  // six characters at most
}

TEST_F(Dialog, OkWithAFadeTimeThatIsNoWholeNumber) {
    struct Case {
        const char* text;
        bool saves;
        std::int32_t seconds;
    } cases[] = {{"", true, 0}, {" 12 ", true, 12}, {"12a", false, 0}, {"-5", false, 0}, {"1.5", false, 0},
                 {"1,000", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        registry = platform::MemoryRegistry(&log);
        frmConfig& form = Open({0, 128, 7, "", 0, 0});
        form.txtFadeTime->TextEdited(c.text);  // pasted past the key filter
        log.Clear();
        const bool ended = Ends([&] { form.Command2[1]->Press(); });
        EXPECT_EQ(ended, c.saves);
        if (c.saves) {
            settings::LoadSettings();
            EXPECT_EQ(settings::Current().opaquetime, c.seconds);
        } else {
            EXPECT_EQ(registry.Writes(), 0);
            EXPECT_EQ(Calls({"Beep", "Focus"}).size(), 1u);
        }
    }
}

TEST_F(Dialog, AboutBoxKeepsTheDialogOpen) {
    frmConfig& form = Open({0, 128, 0, "", 0, 0});
    EXPECT_FALSE(Ends([&] { form.Command2[0]->Press(); }));
    EXPECT_EQ(backend.lastMsgBoxTitle, "Velumbra 1.6.13 for Win2K");
    EXPECT_EQ(backend.lastMsgBoxStyle, 64);
    const std::string& text = backend.lastMsgBoxText;
    const auto blank = text.find("\n\n");
    ASSERT_NE(blank, std::string::npos);
    EXPECT_NE(text.find('@', blank), std::string::npos);
    EXPECT_NE(text.find("\nhttps://", blank + 2), std::string::npos);
}

class CaptionFit : public Dialog {
protected:
    // The picture option's caption for a name, with `perChar` twips per character and `perDot`
    // per full stop; the room is 1695 - 315 = 1380 twips.
    std::string Fit(const std::string& name, float perChar, float perDot = 10) {
        backend.measure = [=](const std::string& s) {
            float width = 0;
            for (char c : s) width += c == '.' ? perDot : perChar;
            return width;
        };
        backend.measurements = 0;
        backend.doEvents = 0;
        frmConfig& form = Open({0, 128, 0, "C:\\" + name, 0, 0});
        return form.optImage[0]->Caption();
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
        {std::string(15, 'a'), 92, std::string(15, 'a')},                     // exactly the room
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

TEST_F(CaptionFit, LongNameCostsAtMostOneMeasurementPerCharacterAndYieldsEachPass) {
    const std::string name(400, 'x');
    EXPECT_EQ(Fit(name, 90), std::string(15, 'x') + "...");
    EXPECT_EQ(backend.measurements, 387);  // the name, the name with "...", then 385 passes
    EXPECT_EQ(backend.doEvents, 385);
}

TEST_F(CaptionFit, CountsCharactersNotBytesInUtf8) {
    text::SetUtf8(true);
    // 20 two-byte letters; the measure counts characters, as a font does.
    std::string name;
    for (int i = 0; i < 20; ++i) name += "\xC3\xA9";
    backend.measure = [](const std::string& s) { return 90.0f * static_cast<float>(text::Length(s)); };
    backend.measurements = 0;
    frmConfig& form = Open({0, 128, 0, "C:\\" + name, 0, 0});
    std::string expected;
    for (int i = 0; i < 12; ++i) expected += "\xC3\xA9";
    EXPECT_EQ(form.optImage[0]->Caption(), expected + "...");
    EXPECT_LE(backend.measurements, 22);
    text::SetUtf8(false);
}

TEST_F(CaptionFit, CancelWhileFittingEnds) {
    settings::Current() = {0, 128, 0, "", 0, 0};
    frmConfig& form = forms::LoadForm<frmConfig>();
    form.pop();
    backend.onShowOpen = [](forms::CommonDialog& d) {
        d.FileName = "C:\\" + std::string(300, 'y') + ".jpg";
        return forms::DialogOutcome::Confirmed;
    };
    backend.onDoEvents = [&] {
        if (backend.doEvents == 50) form.Command2[2]->Press();
    };
    EXPECT_TRUE(Ends([&] { form.Command1[1]->Press(); }));
    EXPECT_EQ(registry.Writes(), 0);
}

TEST_F(CaptionFit, ANewerChoiceMadeWhileFittingWins) {
    settings::Current() = {0, 128, 0, "", 0, 0};
    frmConfig& form = forms::LoadForm<frmConfig>();
    form.pop();
    int choice = 0;
    backend.onShowOpen = [&](forms::CommonDialog& d) {
        d.FileName = ++choice == 1 ? "C:\\" + std::string(300, 'y') + ".jpg" : "C:\\second.bmp";
        return forms::DialogOutcome::Confirmed;
    };
    backend.onDoEvents = [&] {
        if (backend.doEvents == 10) form.Command1[1]->Press();  // the user picks again meanwhile
    };
    form.Command1[1]->Press();
    EXPECT_EQ(form.optImage[0]->Caption(), "second.bmp");
    EXPECT_EQ(settings::Current().imagename, "C:\\second.bmp");
    EXPECT_TRUE(form.optImage[0]->Value());
}

}  // namespace
