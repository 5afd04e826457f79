// Placeholder: replaced by the image button implementation.
#include "ImageButton.h"

CImageButton::CImageButton(QWidget* parent) : QPushButton(parent) {}
CImageButton::~CImageButton() = default;
int CImageButton::SetStateColor(int slot, COLORREF, bool) { return (slot & 0xFF) > 5 ? 3 : 0; }
COLORREF CImageButton::GetStateColor(int) const { return 0; }
int CImageButton::ResetColors(bool) { return 0; }
int CImageButton::LoadImages(int, COLORREF, int, COLORREF) { return 0; }
