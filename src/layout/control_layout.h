#pragma once

#include <span>

// The windows are laid out at fixed positions, so a window's layout is a
// table: one row a control. The table holds no toolkit type, so that every
// flavour of the windows builds its controls from the same rows.

namespace ziv {

enum class TControlKind {
    ToggleButton,  // a button that stays down, in a group of its own kind
    PushButton,
    FlatButton,  // a small push button drawn without a frame until hovered
    Panel,       // a plain container, sunken or not
    GroupBox,
    Label,
    TrackBar,
    ComboBox,  // editable drop-down
    RadioButton,
    ListBox,
    Edit,
};

// A position and size in pixels at 96 dots per inch, relative to the
// parent's client area.
struct TLayoutRect {
    int left;
    int top;
    int width;
    int height;
};

struct TControlLayout {
    const char* name;    // the control's name; rows are found by it
    const char* parent;  // the containing control's name; "" for the window
    TControlKind kind;
    TLayoutRect rect;
    const char* text;  // UTF-8; "" for none
    const char* hint;  // UTF-8 tooltip, lines split by "\n"; "" for none
};

using TWindowLayout = std::span<const TControlLayout>;

// The row named `name`, or nullptr.
inline const TControlLayout* FindControl(TWindowLayout layout, const char* name) {
    for (const TControlLayout& row : layout) {
        const char* a = row.name;
        const char* b = name;
        while (*a != '\0' && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return &row;
    }
    return nullptr;
}

}  // namespace ziv
