// Where the main window is and how wide: the frame the window manager
// adds is known only once the window is on the screen, and the saved place
// and width are the frame's.
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "ui/form_sound.h"
#include "ui/window_position.h"

namespace ziv {

void TFormSound::ApplyOuterWidth(int /*width*/) {
    ApplyWidth();
}

void TFormSound::ApplyWidth() {
    const int outerWidth = presenter_.OuterWidth();
    if (outerWidth == 0)
        return;
    // The frame is the window manager's; it is known once the window is on
    // the screen (and stays 0 without a window manager).
    const int frame = testAttribute(Qt::WA_WState_Created) && isVisible()
                          ? std::max(0, frameGeometry().width() - geometry().width())
                          : 0;
    const int client = std::max(1, outerWidth - frame);
    if (client != width() || minimumWidth() != client) {
        setFixedSize(client, ClientHeight);
        // Qt's resize of a native window that is not on the screen yet
        // asks again for the client area's corner (QWindow::resize), which
        // would undo the frame's placement.
        if (windowHandle() && !windowHandle()->isVisible())
            PlaceFrame();
    }
}

void TFormSound::SetWindowLeft(int value) {
    if (!requestedPos_)
        requestedPos_ = pos();
    requestedPos_->setX(value);
    PlaceFrame();
}

void TFormSound::SetWindowTop(int value) {
    if (!requestedPos_)
        requestedPos_ = pos();
    requestedPos_->setY(value);
    PlaceFrame();
}

QPoint TFormSound::FrameTarget() const {
    std::vector<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QSize frame = frameGeometry().size().expandedTo(size().grownBy(kUnknownFrameAllowance));
    // The request is kept as asked, and placed whole each time: a left
    // edge on no screen may be on one with the top edge that comes next.
    return PlaceWindowFrame(requestedPos_->x(), requestedPos_->y(), frame, screens,
                            primary ? primary->availableGeometry() : QRect());
}

void TFormSound::PlaceFrame() {
    if (!requestedPos_)
        return;
    const QPoint corner = FrameTarget();
    // pos() is the frame's corner, and so is what is saved. move() puts
    // the frame's corner there only while Qt knows the frame: before the
    // native window exists (Qt then asks the window manager for the
    // frame's corner) or once the window manager has framed it. In between,
    // which is when the settings are loaded, it places the client area's
    // corner and the frame is added above and left of it: the saved place
    // would move by the frame at every start. The native window's frame
    // position is the frame's corner whenever the frame comes.
    move(corner);
    if (QWindow* window = windowHandle())
        window->setFramePosition(corner);
}

void TFormSound::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager's frame arrives after the window is mapped.
    ApplyWidth();
    CorrectFirstPlacement();
}

void TFormSound::CorrectFirstPlacement() {
    // A window manager may map the window before it has taken the position
    // asked for (now and then openbox put it at the screen's corner, or
    // the client area where the frame was asked). Once it has framed the
    // window Qt knows the frame, and move() puts the frame's corner where
    // asked: checked once, at the first move that shows a frame, so that
    // the operator's own moves are never undone.
    if (placed_ || !requestedPos_ || !isVisible())
        return;
    // Framed: the frame holds the client area and is larger. While the
    // window manager reparents the window, Qt can briefly report a frame
    // narrower than the client area (the new width against the old frame);
    // judged framed then, the window would be taken as placed where the
    // manager had not yet put it.
    const QRect frame = frameGeometry();
    if (frame == geometry() || !frame.contains(geometry()))
        return;  // not framed yet, or no window manager
    placed_ = true;
    const QPoint corner = FrameTarget();
    if (pos() != corner)
        move(corner);
}

}  // namespace ziv
