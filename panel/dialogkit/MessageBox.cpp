#include "MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}
}  // namespace

void PanelMessageBox(QWidget* owner, const QString& text, const QString& caption)
{
    if (const MessageBoxHook& hook = Hook()) {
        hook(owner, text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }
