#pragma once

#include <QWidget>
#include <stdexcept>
#include <string>

#include "layout/control_layout.h"

namespace ziv {

// Creates a widget for every row of `layout` in `window`, in row order:
// named, placed and with its text and hint, in the kind's look and focus.
// What is special to one control (glyphs, ranges, items, fonts) is left to
// the window. A row whose parent is not built before it is a mistake in the
// table: std::logic_error.
void BuildControls(QWidget* window, TWindowLayout layout);

// The built control named `name`, as the widget class its kind is built as
// (or a base of it); std::logic_error when there is none.
template <typename Widget>
Widget* BuiltControl(const QWidget* window, const char* name) {
    auto* widget = dynamic_cast<Widget*>(window->findChild<QWidget*>(QString::fromUtf8(name)));
    if (!widget)
        throw std::logic_error(std::string("no control ") + name + " of that class");
    return widget;
}

}  // namespace ziv
