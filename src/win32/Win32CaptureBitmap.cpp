#include "win32/Win32CaptureBitmap.h"

#include <ole2.h>

#include <cstring>
#include <limits>
#include <new>
#include <vector>

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

// The depths a BMP file stores; a device reporting another one (15 bits,
// say) is read back at the nearest larger standard depth.
WORD FileDepth(int deviceBits) {
    for (WORD bits : {1, 4, 8, 16, 24}) {
        if (deviceBits <= bits)
            return bits;
    }
    return 32;
}

// A DIB header with room for the largest colour table.
struct TDibInfo {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[256];
};

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
        if (!bitmap)
            throw Exception("a bitmap of " + SizeText(width, height) + " pixels cannot be created");
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

void TWin32CaptureBitmap::SaveToFile(IFileSystem& fileSystem, const std::string& path) {
    if (!FBitmap)
        throw Exception("an empty bitmap cannot be saved as \"" + path + "\"");
    BITMAP info{};
    ::GetObjectW(FBitmap.Get(), sizeof(info), &info);
    const WORD bits = FileDepth(info.bmBitsPixel * info.bmPlanes);

    const std::uint64_t size = std::uint64_t{BmpRowStride(FWidth, bits)} * FHeight;
    if (size > std::numeric_limits<std::size_t>::max() / 2)
        throw Exception("the bitmap of " + SizeText(FWidth, FHeight) + " pixels is too large");
    std::vector<std::uint8_t> rows;
    try {
        rows.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw Exception("not enough memory to save \"" + path + "\"");
    }

    TDibInfo dib{};
    dib.Header.biSize = sizeof(BITMAPINFOHEADER);
    dib.Header.biWidth = FWidth;
    dib.Header.biHeight = FHeight;  // bottom-up rows, as the file keeps them
    dib.Header.biPlanes = 1;
    dib.Header.biBitCount = bits;
    dib.Header.biCompression = BI_RGB;
    // GetDIBits wants the bitmap out of every DC while it reads it.
    ::SelectObject(FDc.Get(), FOriginalBitmap);
    const int lines =
        ::GetDIBits(FDc.Get(), static_cast<HBITMAP>(FBitmap.Get()), 0, static_cast<UINT>(FHeight),
                    rows.data(), reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS);
    ::SelectObject(FDc.Get(), FBitmap.Get());
    if (lines != FHeight)
        throw Exception("the bitmap for \"" + path + "\" cannot be read");

    std::vector<std::uint32_t> palette;
    if (bits <= 8) {
        const DWORD full = 1u << bits;
        const DWORD used = dib.Header.biClrUsed;
        palette.resize(used != 0 && used < full ? used : full);
        // RGBQUAD is the bytes B, G, R, 0: the 0x00RRGGBB entry of the file.
        std::memcpy(palette.data(), dib.Colors, palette.size() * sizeof(RGBQUAD));
    }

    TBmpImage image;
    image.Width = FWidth;
    image.Height = FHeight;
    image.BitsPerPixel = bits;
    image.Rows = rows;
    image.Palette = palette;
    const std::unique_ptr<IFileWriter> writer = fileSystem.CreateReplacing(path);
    if (!writer)
        throw Exception("the file \"" + path + "\" cannot be created");
    if (!WriteBmp(*writer, image) || !writer->Commit())
        throw Exception("the file \"" + path + "\" cannot be written");
}

}  // namespace lum::win32
