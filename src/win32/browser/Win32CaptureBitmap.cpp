#include "win32/browser/Win32CaptureBitmap.h"

#include <ole2.h>

#include "common/Bmp.h"

namespace lum::win32 {

namespace {

// The screen's device context for as long as it is needed.
class TScreenDc {
  public:
    TScreenDc() : FDc(::GetDC(nullptr)) {}
    ~TScreenDc() {
        if (FDc)
            ::ReleaseDC(nullptr, FDc);
    }
    TScreenDc(const TScreenDc&) = delete;
    TScreenDc& operator=(const TScreenDc&) = delete;
    HDC Get() const { return FDc; }

  private:
    HDC FDc;
};

std::string SizeText(std::int32_t width, std::int32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

TWin32CaptureBitmap::TWin32CaptureBitmap(Microsoft::WRL::ComPtr<IUnknown> view)
    : FView(std::move(view)) {
    // A memory DC made from the null DC is compatible with the screen.
    FDc.Reset(::CreateCompatibleDC(nullptr));
    if (!FDc)
        throw Exception("a device context for the capture bitmap cannot be created");
    FOriginalBitmap = ::GetCurrentObject(FDc.Get(), OBJ_BITMAP);
}

TWin32CaptureBitmap::~TWin32CaptureBitmap() {
    // A bitmap selected into a DC cannot be deleted: hand the DC its own
    // bitmap back before the members go.
    if (FDc && FOriginalBitmap)
        ::SelectObject(FDc.Get(), FOriginalBitmap);
}

void TWin32CaptureBitmap::SetWidth(std::int32_t width) {
    Resize(width, FHeight);
}

void TWin32CaptureBitmap::SetHeight(std::int32_t height) {
    Resize(FWidth, height);
}

// A new size gets a new bitmap, filled white; a zero side means no bitmap.
void TWin32CaptureBitmap::Resize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0)
        throw Exception("a bitmap of " + SizeText(width, height) + " pixels cannot be created");
    UniqueHandle<GdiObjectTraits> bitmap;
    if (width > 0 && height > 0) {
        // Compatible with the screen, not with the memory DC (which would
        // give a monochrome bitmap).
        const TScreenDc screen;
        bitmap.Reset(::CreateCompatibleBitmap(screen.Get(), width, height));
        // With a valid screen DC and a positive size, the only way this fails
        // is for want of memory (of the process, or of GDI's section of it):
        // the page fails as one whose picture cannot be held.
        if (!bitmap)
            throw OutOfMemory("not enough memory for a bitmap of " + SizeText(width, height) +
                              " pixels (the system could not create it)");
    }
    ::SelectObject(FDc.Get(), bitmap ? bitmap.Get() : FOriginalBitmap);
    FBitmap = std::move(bitmap);
    FWidth = width;
    FHeight = height;
    if (FBitmap)
        ::PatBlt(FDc.Get(), 0, 0, width, height, WHITENESS);
}

void TWin32CaptureBitmap::DrawView(std::uint32_t aspect, const TRect& bounds) {
    if (!FBitmap || !FView)
        return;
    const RECT rect{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
    // The result is not looked at: a view that cannot draw leaves the
    // bitmap white.
    ::OleDraw(FView.Get(), aspect, FDc.Get(), &rect);
}

void TWin32CaptureBitmap::Clear() {
    if (FBitmap)
        ::PatBlt(FDc.Get(), 0, 0, FWidth, FHeight, WHITENESS);
}

void TWin32CaptureBitmap::ReadPixels(TPageBitmap& picture) {
    if (!FBitmap)
        throw Exception("an empty bitmap has no picture to take");
    picture.Resize(FWidth, FHeight);
    try {
        ReadRowsInto(picture, 0);
    } catch (...) {
        picture.Clear();
        throw;
    }
}

// The bitmap's pixels as 32-bit top-down rows, straight into the
// picture's memory; GetDIBits converts from whatever depth the screen has.
void TWin32CaptureBitmap::ReadRowsInto(TPageBitmap& picture, std::int32_t top) {
    if (!FBitmap)
        throw Exception("an empty bitmap has no picture to take");
    if (picture.Width() != FWidth || top < 0 || top > picture.Height() - FHeight)
        throw Exception("the rows of a bitmap of " + SizeText(FWidth, FHeight) +
                        " pixels do not fit a picture of " +
                        SizeText(picture.Width(), picture.Height()) + " pixels at row " +
                        std::to_string(top));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = -FHeight;  // top-down, as the picture keeps its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::uint32_t* rows = picture.Pixels() + std::size_t(FWidth) * top;
    // GetDIBits wants the bitmap out of every DC while it reads it.
    ::SelectObject(FDc.Get(), FOriginalBitmap);
    const int lines = ::GetDIBits(FDc.Get(), static_cast<HBITMAP>(FBitmap.Get()), 0,
                                  static_cast<UINT>(FHeight), rows, &info, DIB_RGB_COLORS);
    ::SelectObject(FDc.Get(), FBitmap.Get());
    if (lines != FHeight)
        throw Exception("the picture of " + SizeText(FWidth, FHeight) + " pixels cannot be read");
    // The fourth byte of each pixel is unused and must not leak into colours.
    for (std::size_t n = std::size_t(FWidth) * FHeight; n > 0; --n, ++rows)
        *rows &= 0x00FFFFFFu;
}

}  // namespace lum::win32
