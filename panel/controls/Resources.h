#pragma once
// Bitmap and icon resources, by their original resource numbers, compiled in
// with the Qt resource system.

#include <QIcon>
#include <QPixmap>

constexpr int IDR_MAINFRAME = 128;      // program icon
constexpr int IDB_THUMB = 161;          // slider thumb, 20 x 10
constexpr int IDB_TRIANGLE_UP = 162;    // step button image, 20 x 18
constexpr int IDB_TRIANGLE_DOWN = 163;  // step button image, 20 x 18

// The bitmap resource `id` (149..163); a null pixmap when there is none.
QPixmap LoadBitmapResource(int id);
// The icon resource `id` (128).
QIcon LoadIconResource(int id);
