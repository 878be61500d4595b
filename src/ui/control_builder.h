#pragma once

#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>

#include "layout/control_layout.h"

namespace ziv {

// Makes the widget of a row whose kind alone does not say which widget it
// is (the files window's lists and drop-downs); nullptr leaves the row to
// its kind.
using TMakeControl = std::function<QWidget*(const TControlLayout& row, QWidget* parent)>;

// Creates a widget for every row of `layout` in `window`, in row order:
// named, placed and with its text and hint, in the kind's look and focus
// (or as `make` makes it). What is special to one control (glyphs, ranges,
// items, fonts) is left to the window. A row whose parent is not built
// before it is a mistake in the table: std::logic_error.
void BuildControls(QWidget* window, TWindowLayout layout, const TMakeControl& make = {});

// The built control named `name`, as the widget class its kind is built as
// (or a base of it); std::logic_error when there is none.
template <typename Widget>
Widget* BuiltControl(const QWidget* window, const QString& name) {
    auto* widget = dynamic_cast<Widget*>(window->findChild<QWidget*>(name));
    if (!widget)
        throw std::logic_error("no control " + name.toStdString() + " of that class");
    return widget;
}

template <typename Widget>
Widget* BuiltControl(const QWidget* window, const char* name) {
    return BuiltControl<Widget>(window, QString::fromUtf8(name));
}

}  // namespace ziv
