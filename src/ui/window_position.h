#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace ziv {

// Room for the frame a window manager adds, while it is not known yet: on
// X11 it comes only after the window is on the screen. Generous, so that
// a window moved onto a screen before it is framed still lies on it whole
// once framed.
inline constexpr QMargins kUnknownFrameAllowance{8, 32, 8, 8};

// Where a window goes whose frame's top-left corner is asked to be at
// (x, y), with a frame of `frameSize`.
//
// A frame that overlaps the available area of one of `screens` stays where
// it was asked to be, even when partly off it: the operator can reach it
// and drag it from there. A frame on no screen (its monitor is no longer
// connected, or the stored value was never a position) is moved onto
// `primary`'s available area by the least distance that brings it whole
// onto it, so a coordinate that was already fine is kept; a frame larger
// than that area goes to its top-left corner. Every int is accepted: the
// sums are taken in 64 bits, and the result is (x, y) itself or a point of
// `primary` (the origin when there is no primary area).
QPoint PlaceWindowFrame(int x, int y, QSize frameSize, const std::vector<QRect>& screens,
                        const QRect& primary);

}  // namespace ziv
