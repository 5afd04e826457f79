// The About entry in the window's system menu, as the earlier panel had it:
// a separator and "&About VO-Raduzarizad..." with the command id 16, and the
// WM_SYSCOMMAND it sends taken from the window's native events. The menu
// posts the command; a test or another program may send it: the window's
// own native events see both.

#include "SystemMenu.h"

#include "dialogkit/ControlIds.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

void CSystemMenu::Install(QWidget* window)
{
    if (m_window != nullptr) {
        return;
    }
    m_window = window;
    // winId() gives the window its native handle now, before it is shown.
    if (HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE)) {
        ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, kAboutMenuText);
    }
}

bool CSystemMenu::NativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (m_window == nullptr || eventType != "windows_generic_MSG") {
        return false;
    }
    const MSG* msg = static_cast<const MSG*>(message);
    // The low four bits of the command are the system's own.
    if (msg->message != WM_SYSCOMMAND || (msg->wParam & 0xFFF0) != IDM_ABOUTBOX) {
        return false;
    }
    *result = 0;
    emit commandChosen(static_cast<int>(msg->wParam));
    return true;
}
