#include "ui/window_position.h"

#include <algorithm>
#include <cstdint>

namespace ziv {

namespace {

// One axis of a rectangle, in 64 bits: a stored coordinate near INT_MAX
// plus the window's width must not wrap.
struct TSpan {
    std::int64_t begin;
    std::int64_t length;
};

bool Overlap(TSpan a, TSpan b) {
    return a.begin < b.begin + b.length && b.begin < a.begin + a.length;
}

// The begin nearest to `a.begin` that puts all of `a` inside `area`, or
// the area's begin when `a` is longer than it.
std::int64_t MovedInto(TSpan a, TSpan area) {
    return std::max(area.begin, std::min(a.begin, area.begin + area.length - a.length));
}

}  // namespace

QPoint PlaceWindowFrame(int x, int y, QSize frameSize, const std::vector<QRect>& screens,
                        const QRect& primary) {
    // An empty frame would overlap nothing and be moved for no reason.
    const TSpan across{x, std::max(1, frameSize.width())};
    const TSpan down{y, std::max(1, frameSize.height())};
    for (const QRect& screen : screens) {
        if (screen.isEmpty())
            continue;
        if (Overlap(across, {screen.x(), screen.width()}) &&
            Overlap(down, {screen.y(), screen.height()}))
            return {x, y};
    }
    if (primary.isEmpty())
        return {0, 0};
    // Both results lie inside the primary area, so they fit in an int.
    return {int(MovedInto(across, {primary.x(), primary.width()})),
            int(MovedInto(down, {primary.y(), primary.height()}))};
}

}  // namespace ziv
