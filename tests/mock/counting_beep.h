#pragma once

#include <vector>

#include "base/beep.h"

namespace ziv::test {

class TCountingBeep : public TBeep {
public:
    void MessageBeep(unsigned type) override { Types.push_back(type); }
    int Count() const { return static_cast<int>(Types.size()); }
    std::vector<unsigned> Types;
};

}  // namespace ziv::test
