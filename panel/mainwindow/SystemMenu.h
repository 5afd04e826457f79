#pragma once
// The window's own menu, which carries "&About VO-Raduzarizad..." as the
// command IDM_ABOUTBOX. One file per platform implements it: on Windows the
// entry is appended to the window's system menu (after a separator) and its
// WM_SYSCOMMAND is taken from the window's native events (the window hands
// them to NativeEvent()); where the window
// manager owns the title bar, the entry is offered from a right-click on the
// window's background.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QWidget>

// The entry's text (string resource 101).
inline constexpr char kAboutMenuText[] = "&About VO-Raduzarizad...";

class CSystemMenu : public QObject
{
    Q_OBJECT
public:
    explicit CSystemMenu(QObject* parent = nullptr) : QObject(parent) {}

    // Adds the About entry to `window`'s menu. Once per window.
    void Install(QWidget* window);
    // The window's nativeEvent() hands its native events here first: true
    // when it was the entry's command, which is then taken.
    bool NativeEvent(const QByteArray& eventType, void* message, qintptr* result);

signals:
    // The operator chose a command of the menu (IDM_ABOUTBOX).
    void commandChosen(int command);

private:
    QPointer<QWidget> m_window;  // the window whose menu carries the entry; null until installed
};
