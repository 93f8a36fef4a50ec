#include "startup/modMain.h"

#include "config/frmConfig.h"
#include "platform/dpi.h"
#include "platform/event_loop.h"
#include "platform/instance_lock.h"
#include "pure/numbers.h"
#include "pure/settings_record.h"
#include "pure/start_rules.h"
#include "screen/frmMain.h"
#include "settings/store.h"

namespace modMain {

bool CursorInDisabledCorner() {
    const int corner = settings::Current().disablecorner;
    if (corner <= 0) return false;  // the pointer is not even asked
    POINT p{};
    if (!GetCursorPos(&p)) return false;
    // Before any window exists: the screen at the system's resolution.
    const float twipsPerPixel = num::TwipsPerPixel(app::SystemDpi());
    const float width = static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * twipsPerPixel;
    const float height = static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * twipsPerPixel;
    return InCorner(corner, p.x, p.y, {width, height, twipsPerPixel, twipsPerPixel});
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
