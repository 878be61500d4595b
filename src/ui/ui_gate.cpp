#include "ui/ui_gate.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include "base/blocking_runner.h"
#include "base/diagnostics.h"
#include "ui/error_report.h"

namespace ziv {

TUiGate::TUiGate(QObject* parent) : QObject(parent) {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

TUiGate::~TUiGate() {
    *alive_ = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void TUiGate::RunBlocking(const std::function<void()>& job) {
    if (held_.Busy() || QThread::currentThread() != thread()) {
        job();
        return;
    }
    held_.SetBusy(true);
    try {
        QEventLoop loop;
        RunOnWorkerThread(
            job,
            // Posted, so it is seen by the loop even if the job ended
            // before the loop started.
            [&loop] {
                QMetaObject::invokeMethod(
                    &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
            },
            [&loop] { loop.exec(); });
    } catch (...) {
        held_.SetBusy(false);
        throw;
    }
    held_.SetBusy(false);
}

void TUiGate::Post(std::function<void()> work) {
    std::weak_ptr<bool> alive = alive_;
    QMetaObject::invokeMethod(
        this,
        [this, alive, work = std::move(work)]() mutable {
            if (auto a = alive.lock(); a && *a)
                RunOrHold(std::move(work));
        },
        Qt::QueuedConnection);
}

bool TUiGate::IsHeldInput(int type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::Close:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return true;
        default:
            return false;
    }
}

bool TUiGate::BlockedByModal(QObject* target) {
    // Input that was meant for a window which a modal window now blocks is
    // dropped, as the toolkit drops input to blocked windows.
    QWindow* modal = QGuiApplication::modalWindow();
    if (!modal)
        return false;
    QWindow* window = qobject_cast<QWindow*>(target);
    if (!window) {
        if (auto* widget = qobject_cast<QWidget*>(target))
            window = widget->window()->windowHandle();
    }
    if (!window)
        return false;
    for (QWindow* w = window; w; w = w->transientParent())
        if (w == modal)
            return false;
    return true;
}

bool TUiGate::eventFilter(QObject* watched, QEvent* event) {
    if (!IsHeldInput(event->type()) || !Holding())
        return false;
    if (QThread::currentThread() != thread())
        return false;
    // Plain pointer moves without a button change nothing but hover looks;
    // they need not wait.
    if (event->type() == QEvent::MouseMove &&
        static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
        return false;
    if (Busy() && isCut_ && cut_ && isCut_(watched, event))
        cut_();
    std::shared_ptr<QEvent> copy(event->clone());
    QPointer<QObject> target(watched);
    held_.Hold([target, copy] {
        if (target && !BlockedByModal(target))
            QCoreApplication::sendEvent(target, copy.get());
    });
    event->accept();
    return true;
}

}  // namespace ziv
