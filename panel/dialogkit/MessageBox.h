#pragma once
// Every message the panel shows to the operator goes through here: a modal
// box with `text`, `caption` and a single OK button, owned by `owner`.
// Tests install a hook instead, so no test ever blocks on a real modal box.

#include <QString>
#include <functional>

class QWidget;

using MessageBoxHook = std::function<void(QWidget* owner, const QString& text, const QString& caption)>;

void PanelMessageBox(QWidget* owner, const QString& text, const QString& caption);

// Replaces the real box with `hook` (an empty hook restores the real box).
// Returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
