#include "startup/modMain.h"

#include "config/frmConfig.h"
#include "platform/app.h"
#include "screen/frmMain.h"
#include "settings/settings.h"
#include "startup/start_rules.h"

namespace modMain {

bool CursorInDisabledCorner() {
    const int corner = settings::Current().disablecorner;
    if (corner <= 0) return false;  // the pointer is not even asked
    POINT p{};
    if (!GetCursorPos(&p)) return false;
    return InCorner(corner, p.x, p.y,
                    {app::ScreenWidth(), app::ScreenHeight(), app::TwipsPerPixelX(), app::TwipsPerPixelY()});
}

void Main(const std::string& arguments) {
    if (app::PrevInstance()) app::EndProgram();
    settings::LoadSettings();
    switch (ModeOf(arguments)) {
        case Mode::Dialog: {
            static frmConfig form;
            form.pop();
            return;
        }
        case Mode::Saver: {
            if (CursorInDisabledCorner()) app::EndProgram();
            static frmMain form;
            form.doSS();
            return;
        }
        case Mode::End: app::EndProgram();
    }
}

}  // namespace modMain
