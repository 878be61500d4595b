#include "ui/control_builder.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ui/widgets.h"

namespace ziv {

namespace {

QWidget* CreateButton(const TControlLayout& row, const QString& text, QWidget* parent) {
    switch (row.kind) {
        case TControlKind::ToggleButton: {
            // Its Down follows a model; it shows its caption or its glyph.
            auto* b = new TModelToolButton(parent);
            b->setCheckable(true);
            b->setFocusPolicy(Qt::NoFocus);
            b->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
            b->setText(text);
            return b;
        }
        case TControlKind::FlatButton: {
            auto* b = new QToolButton(parent);
            b->setAutoRaise(true);
            b->setFocusPolicy(Qt::NoFocus);
            b->setText(text);
            return b;
        }
        default: {
            // Enter belongs to the keyer, never to a default button.
            auto* b = new QPushButton(text, parent);
            b->setFocusPolicy(Qt::StrongFocus);
            b->setAutoDefault(false);
            return b;
        }
    }
}

QWidget* CreateControl(const TControlLayout& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
        case TControlKind::ToggleButton:
        case TControlKind::PushButton:
        case TControlKind::FlatButton:
            return CreateButton(row, text, parent);
        case TControlKind::Panel: {
            auto* panel = new QFrame(parent);
            panel->setFocusPolicy(Qt::NoFocus);
            return panel;
        }
        case TControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case TControlKind::Label:
            return new QLabel(text, parent);
        case TControlKind::TrackBar:
            return new TTrackBarWidget(parent);
        case TControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setEditText(text);
            return combo;
        }
        case TControlKind::RadioButton: {
            auto* radio = new TModelRadioButton(text, parent);
            radio->setFocusPolicy(Qt::StrongFocus);
            return radio;
        }
        case TControlKind::ListBox:
            return new QListWidget(parent);
        case TControlKind::Edit:
            return new QLineEdit(text, parent);
    }
    throw std::logic_error(std::string("control ") + row.name + " of no known kind");
}

}  // namespace

void BuildControls(QWidget* window, TWindowLayout layout, const TMakeControl& make) {
    for (const TControlLayout& row : layout) {
        QWidget* parent = *row.parent == '\0' ? window : BuiltControl<QWidget>(window, row.parent);
        QWidget* widget = make ? make(row, parent) : nullptr;
        if (widget == nullptr)
            widget = CreateControl(row, parent);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setGeometry(row.rect.left, row.rect.top, row.rect.width, row.rect.height);
        if (*row.hint != '\0')
            widget->setToolTip(QString::fromUtf8(row.hint));
    }
}

}  // namespace ziv
