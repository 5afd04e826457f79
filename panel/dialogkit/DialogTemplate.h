#pragma once
// Dialogs are laid out from templates kept as data: every control's id,
// kind, text and rectangle in dialog units, exactly as designed. One
// conversion, computed from the dialog font's metrics the way the original
// platform does it, turns dialog units into pixels.

#include <QFont>
#include <QRect>
#include <QSize>
#include <map>
#include <span>

class QWidget;

enum class ControlKind {
    PushButton,     // QPushButton
    DefPushButton,  // QPushButton, the dialog's default button
    Static,         // QLabel; "\n" in the text breaks the line
    Picture,        // QLabel showing bitmap resource `resource`
    Separator,      // grey rectangle (etched frame), no text
    Edit,           // QLineEdit
    PasswordEdit,   // QLineEdit with masked echo
    Slider,         // horizontal slider
    Progress,       // progress bar
    ComboBox,       // drop-down list
    DatePicker,     // QDateEdit, short date, calendar pop-up
    TimePicker,     // QTimeEdit with up-down arrows
};

enum ControlFlags : unsigned {
    CF_NONE = 0,
    CF_HIDDEN = 1u << 0,  // created but not visible
    CF_RIGHT = 1u << 1,   // static text aligned to the right edge
    CF_CENTER = 1u << 2,  // static text centred
};

struct ControlTemplate {
    int id;  // control id; -1 for static text without an id
    ControlKind kind;
    const char* text;  // caption or initial text; may be null
    int x, y, cx, cy;  // dialog units
    unsigned flags = CF_NONE;
    int resource = 0;  // bitmap resource for Picture
};

struct DialogTemplate {
    int resourceId;  // the dialog resource number
    const char* caption;
    int cx, cy;            // client size in dialog units
    const char* fontFace;  // "MS Sans Serif", "System", ...
    int pointSize;
    std::span<const ControlTemplate> controls;
};

// Dialog base units of a font: average character width and height in pixels.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }
    int toPixelsX(int x) const;  // x * baseX / 4, rounded
    int toPixelsY(int y) const;  // y * baseY / 8, rounded
    QRect toPixels(int x, int y, int cx, int cy) const;
    QSize toPixels(int cx, int cy) const;

private:
    int m_baseX = 0;
    int m_baseY = 0;
};

// The font a template names, resolved to the nearest installed face, sized in
// pixels as the original platform sizes a point at 96 dots per inch.
QFont DialogFont(const char* face, int pointSize);

// Lays `dialog` out from `tmpl`: sets its caption, font and fixed client size,
// and places every control. Controls whose id is in `bound` (custom controls
// the dialog constructed itself) are only reparented, placed and given the
// template text; the others are created as standard widgets. Returns every
// control by id (controls without an id are not returned).
std::map<int, QWidget*> BuildDialog(QWidget* dialog, const DialogTemplate& tmpl,
                                    const std::map<int, QWidget*>& bound = {});
