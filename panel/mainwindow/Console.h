#pragma once
// What the panel prints: --help, --version, a bad option, a port that cannot
// be opened. The panel is a windowed program: on Windows it starts with no
// console and no standard output, so its text goes to the console of the
// command line that started it, where there is one. Elsewhere standard
// output and error are already that. One file per platform implements it.

#include <QString>

namespace console {

// Finds where the text goes: standard output and error as the program got
// them, or, on Windows, the console of the command line it was started from
// where they were not redirected.
void AttachParent();
// Lets that console go once the window is up: closing it, or Ctrl+C in it,
// must not end the panel. Text printed later goes to standard output and
// error only.
void ReleaseParent();
// Writes `text` as it is; the caller ends its lines.
void Out(const QString& text);
void Error(const QString& text);

}  // namespace console
