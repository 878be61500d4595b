#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>

#include "layout/control_layout.h"

// Builds a window's controls from its layout rows. Only the kinds the files
// window uses are known; what is special to one control is left to the
// window.

namespace ziv {

// Makes the widget of a row whose kind alone does not say which widget it
// is (the browser's lists and drop-downs); nullptr leaves the row to its
// kind.
using TMakeControl = std::function<QWidget*(const TControlLayout& row, QWidget* parent)>;

// Creates a widget for every row of `layout` in `window`, in row order:
// named, placed, and with its text and hint. A row whose parent is not
// built before it, or whose widget nobody makes, is a mistake in the
// table: std::logic_error.
void CreateControls(QWidget* window, TWindowLayout layout, const TMakeControl& make);

// The created control named `name` as `Widget`; std::logic_error when there
// is none of that class.
template <typename Widget>
Widget* ControlNamed(const QWidget* window, const QString& name) {
    auto* widget = dynamic_cast<Widget*>(window->findChild<QWidget*>(name));
    if (widget == nullptr)
        throw std::logic_error("no control " + name.toStdString() + " of that class");
    return widget;
}

}  // namespace ziv
