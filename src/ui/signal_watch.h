#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace ziv {

// Turns termination signals into calls on the user-interface thread. The
// handler only writes the signal's number into a socket pair; a socket
// notifier reads it on the thread that created the watch. Only one watch
// may exist at a time; destroying it restores the default handlers.
class TSignalWatch : public QObject {
public:
    TSignalWatch(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal,
                 QObject* parent = nullptr);
    ~TSignalWatch() override;

    // False when the socket pair or a handler could not be set up.
    bool Ok() const { return ok_; }

private:
    void Readable();

    std::function<void(int)> onSignal_;
    std::vector<int> signals_;
    QSocketNotifier* notifier_ = nullptr;
    bool ok_ = false;
};

}  // namespace ziv
