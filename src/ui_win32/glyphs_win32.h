#pragma once

#include <cstdint>
#include <vector>

#include "ui_win32/win32_handles.h"

namespace ziv {

// The button pictures of the main window, drawn at run time at the
// monitor's scale: premultiplied 32-bit BGRA pixels, top row first.
struct TGlyphPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

enum class TGlyph { Start, Timer, Stop, Panel };

// The picture at `dpi` (96: its laid-out size).
TGlyphPixels DrawGlyph(TGlyph glyph, int dpi);
// The picture as an icon with its transparency, for BM_SETIMAGE.
HICON GlyphIcon(TGlyph glyph, int dpi);

}  // namespace ziv
