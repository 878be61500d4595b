#pragma once

#include <QApplication>

#include "base/beep.h"

namespace ziv {

// The refusal sound: the desktop's bell.
class TQtBeep : public TBeep {
public:
    void MessageBeep(unsigned /*type*/) override { QApplication::beep(); }
};

}  // namespace ziv
