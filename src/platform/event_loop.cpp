#include "platform/event_loop.h"

namespace app {
namespace {

void Dispatch(MSG& msg) {
    // A window that holds controls (the settings dialog) takes the dialog keys: Tab, Esc,
    // Enter and Alt with a letter. The saver's window takes every key itself.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && (GetWindowLongA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && IsDialogMessageA(root, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

}  // namespace

void DoEvents() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Dispatch(msg);
}

void RunEventLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
}

void EndProgram(ExitStatus status) { ExitProcess(status); }

}  // namespace app
