// Form frmConfig: the settings dialog. Its controls are made from one layout table; pop fills
// them from the settings and shows the window, "&Ok" saves all six settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"

// "NN% Transparent" for a scroll value v of a bar whose maximum is max.
std::string TransparencyLabel(int value, int max);
// Everything after the last backslash, or the whole path when it has none.
std::string FileNamePart(const std::string& path);
// The file filter of the picture chooser.
extern const char* const kPictureFilter;

class frmConfig : public forms::Form {
public:
    frmConfig();
    void pop();

    // The controls, by their names and indices.
    forms::Frame* Frame1;
    forms::Frame* Frame2;
    forms::Frame* Frame3[2];
    forms::OptionButton* optDisable[5];
    forms::OptionButton* optImage[2];
    forms::CheckBox* chkStretch;
    forms::CheckBox* chkOpaque;
    forms::CommandButton* Command1[2];
    forms::CommandButton* Command2[3];
    forms::TextBox* txtFadeTime;
    forms::HScrollBar* varTrans;
    forms::Label* lblTrans;
    forms::Label* Label1;
    forms::Shape* boxColor;
    forms::CommonDialog* cmd;

private:
    void Command1_Click(int index);
    void Command2_Click(int index);
    void optImage_Click(int index);
    void optDisable_Click(int index);
    void chkOpaque_Click();
    void txtFadeTime_KeyPress(int& keyAscii);
    void varTrans_Change();
    void Form_Unload(std::int16_t& cancel);

    void FitImageCaption(std::string name);
    void ShowTransparency();
    void SaveAndClose();

    template <class T>
    T* Find(const char* name, int index = -1) const;

    std::vector<std::unique_ptr<forms::Control>> controls_;
    // Counts caption fits; a fit that sees a newer one start while it yields gives way to it.
    unsigned fitGeneration_ = 0;
};
