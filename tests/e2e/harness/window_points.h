#pragma once

namespace ziv::e2e {

// Where the operator points in the main window (client coordinates of the
// fixed layout).

// The narrow window's width.
constexpr int kNarrowWidth = 165;
// The track bar lies at (24, 10); its thumb's centre is 15 px from its
// left, and its values run from y = 87 (0) up to y = 9 (20) inside it, so
// one second is 4 px above zero.
constexpr int kThumbX = 24 + 15;
constexpr int kThumbAtZeroY = 10 + 87;
constexpr int kThumbAtOneY = 10 + 83;
// The small button that widens the window.
constexpr int kWidenX = 150, kWidenY = 17;
// In the wide window: the port box and the DTR radio button.
constexpr int kPortBoxX = 143 + 64 + 20, kPortBoxY = 38 + 12 + 10;
constexpr int kDtrX = 143 + 2 + 6 + 10, kDtrY = 38 + 32 + 20 + 8;
// In the wide window: the polarity radio buttons.
constexpr int kNormX = 143 + 57 + 10, kNormY = 38 + 36 + 8;
constexpr int kInvX = 143 + 57 + 10, kInvY = 38 + 52 + 8;

}  // namespace ziv::e2e
