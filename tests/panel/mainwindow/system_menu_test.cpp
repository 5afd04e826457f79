// The About entry in a real window's system menu on Windows: appended after
// a separator with the command id 16 and the text the earlier panel had, and
// the WM_SYSCOMMAND the menu sends reaches the panel (the low four bits
// are the system's own); other commands are left to the system.
#include "dialogkit/ControlIds.h"
#include "mainwindow/SystemMenu.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

// A window that hands its native events to the menu, as the main window does.
class CMenuWindow : public QWidget
{
public:
    CSystemMenu menu;

protected:
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override
    {
        return menu.NativeEvent(eventType, message, result) || QWidget::nativeEvent(eventType, message, result);
    }
};

TEST(SystemMenuTest, AboutEntryInTheWindowsSystemMenu)
{
    // A real native window: the offscreen platform the other tests use has none.
    static int argc = 3;
    static char name[] = "system_menu_test", option[] = "-platform", platform[] = "windows";
    static char* argv[] = {name, option, platform, nullptr};
    QApplication app(argc, argv);
    CMenuWindow window;
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    std::vector<int> chosen;
    QObject::connect(&window.menu, &CSystemMenu::commandChosen, [&](int command) { chosen.push_back(command); });
    window.menu.Install(&window);
    window.show();

    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    const HMENU system = ::GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(system, nullptr);
    const int last = ::GetMenuItemCount(system) - 1;
    char text[64] = {};
    ::GetMenuStringA(system, last, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About VO-Raduzarizad...");
    EXPECT_EQ(::GetMenuItemID(system, last), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_TRUE(::GetMenuState(system, last - 1, MF_BYPOSITION) & MF_SEPARATOR);

    // Sent, as a test or another program does, and posted, as the menu does.
    for (const WPARAM command : {WPARAM{16}, WPARAM{16 | 0x0B}, WPARAM{32}}) {
        ::SendMessageA(hwnd, WM_SYSCOMMAND, command, 0);
    }
    ::PostMessageA(hwnd, WM_SYSCOMMAND, 16, 0);
    QApplication::processEvents();
    EXPECT_EQ(chosen, (std::vector<int>{16, 16 | 0x0B, 16}));
}

}  // namespace
