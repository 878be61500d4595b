#include "ui_win32/glyphs_win32.h"

#include <cmath>
#include <functional>

#include "base/windows_api.h"

namespace ziv {

namespace {

using TShape = std::function<bool(double x, double y)>;

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

// Paints shapes given in the laid-out (96 DPI) coordinates, each pixel by
// its centre: plain enough for these few figures, and sharp at any scale.
class TCanvas {
public:
    TCanvas(int width, int height, int dpi) : scale_(dpi / 96.0) {
        out_.width = static_cast<int>(std::lround(width * scale_));
        out_.height = static_cast<int>(std::lround(height * scale_));
        out_.pixels.assign(static_cast<size_t>(out_.width * out_.height), 0);
    }
    void Fill(const TShape& inside, std::uint32_t color) {
        for (int y = 0; y < out_.height; ++y)
            for (int x = 0; x < out_.width; ++x)
                if (inside((x + 0.5) / scale_, (y + 0.5) / scale_))
                    out_.pixels[static_cast<size_t>(y * out_.width + x)] = color;
    }
    TGlyphPixels Take() { return std::move(out_); }

private:
    double scale_;
    TGlyphPixels out_;
};

TShape Triangle(double ax, double ay, double bx, double by, double cx, double cy) {
    return [=](double x, double y) {
        auto side = [&](double px, double py, double qx, double qy) {
            return (qx - px) * (y - py) - (qy - py) * (x - px);
        };
        const double d1 = side(ax, ay, bx, by);
        const double d2 = side(bx, by, cx, cy);
        const double d3 = side(cx, cy, ax, ay);
        return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
    };
}

TShape Box(double left, double top, double right, double bottom) {
    return [=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; };
}

TShape Disc(double cx, double cy, double r) {
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

void PlayTriangle(TCanvas& c, double left, double top, double right, double bottom) {
    const double mid = (top + bottom) / 2;
    c.Fill(Triangle(left, top, right, mid, left, bottom), Rgb(0x00, 0x60, 0x00));
    c.Fill(Triangle(left + 1, top + 1.8, right - 2, mid, left + 1, bottom - 1.8),
           Rgb(0x00, 0xc0, 0x00));
}

}  // namespace

TGlyphPixels DrawGlyph(TGlyph glyph, int dpi) {
    switch (glyph) {
        case TGlyph::Start: {
            TCanvas c(16, 16, dpi);
            PlayTriangle(c, 4, 2, 14, 14);
            return c.Take();
        }
        case TGlyph::Timer: {
            TCanvas c(16, 17, dpi);
            c.Fill(Disc(7.5, 7.5, 7.2), Rgb(0x00, 0x00, 0x80));
            c.Fill(Disc(7.5, 7.5, 6.2), Rgb(0x40, 0x80, 0xff));
            // The hands: up and to the right.
            c.Fill(Box(7, 3, 8, 8), Rgb(0xff, 0xff, 0xff));
            c.Fill(Box(7, 7, 11, 8), Rgb(0xff, 0xff, 0xff));
            PlayTriangle(c, 7.5, 8.5, 16, 17);
            return c.Take();
        }
        case TGlyph::Stop: {
            TCanvas c(16, 16, dpi);
            c.Fill(Box(3, 3, 13, 13), Rgb(0x80, 0x00, 0x00));
            c.Fill(Box(4, 4, 12, 12), Rgb(0xe0, 0x00, 0x00));
            return c.Take();
        }
        case TGlyph::Panel: {
            TCanvas c(9, 6, dpi);
            // Rows of 9, 7, 5, 3, 1 pixels, centred: a small arrow down.
            for (int row = 0; row < 5; ++row)
                c.Fill(Box(row, row, 9 - row, row + 1), Rgb(0, 0, 0));
            return c.Take();
        }
    }
    return {};
}

HICON GlyphIcon(TGlyph glyph, int dpi) {
    const TGlyphPixels g = DrawGlyph(glyph, dpi);
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof(header);
    header.bV5Width = g.width;
    header.bV5Height = -g.height;  // top row first
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00ff0000;
    header.bV5GreenMask = 0x0000ff00;
    header.bV5BlueMask = 0x000000ff;
    header.bV5AlphaMask = 0xff000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color)
        return nullptr;
    std::copy(g.pixels.begin(), g.pixels.end(), static_cast<std::uint32_t*>(bits));
    // The mask is ignored where the colour bitmap has alpha, but must exist.
    HBITMAP mask = CreateBitmap(g.width, g.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(color);
    DeleteObject(mask);
    return icon;
}

}  // namespace ziv
