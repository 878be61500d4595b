#include "ui/files/control_factory.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ziv {

namespace {

QWidget* ByKind(const TControlLayout& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
        case TControlKind::Edit:
            return new QLineEdit(text, parent);
        case TControlKind::Label:
            return new QLabel(text, parent);
        case TControlKind::PushButton:
            return new QPushButton(text, parent);
        case TControlKind::Panel: {
            auto* panel = new QFrame(parent);
            panel->setFrameShape(QFrame::NoFrame);
            return panel;
        }
        default:
            throw std::logic_error(std::string("no widget for the row ") + row.name);
    }
}

}  // namespace

void CreateControls(QWidget* window, TWindowLayout layout, const TMakeControl& make) {
    for (const TControlLayout& row : layout) {
        QWidget* parent = *row.parent == '\0'
                              ? window
                              : window->findChild<QWidget*>(QString::fromUtf8(row.parent));
        if (parent == nullptr)
            throw std::logic_error(std::string("no parent built for the row ") + row.name);
        QWidget* widget = make ? make(row, parent) : nullptr;
        if (widget == nullptr)
            widget = ByKind(row, parent);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setGeometry(row.rect.left, row.rect.top, row.rect.width, row.rect.height);
        if (*row.hint != '\0')
            widget->setToolTip(QString::fromUtf8(row.hint));
    }
}

}  // namespace ziv
