// The capture bitmap: a device-dependent bitmap compatible with the screen,
// white when sized, into which OleDraw draws a view, read back as a 32-bit
// picture. A size the system cannot allocate and a bitmap that cannot be read
// throw lum::Exception.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "common/Bmp.h"
#include "platform/Types.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

class TWin32CaptureBitmap final {
  public:
    // view: the object OleDraw draws (the control).
    explicit TWin32CaptureBitmap(Microsoft::WRL::ComPtr<IUnknown> view);
    ~TWin32CaptureBitmap();
    TWin32CaptureBitmap(const TWin32CaptureBitmap&) = delete;
    TWin32CaptureBitmap& operator=(const TWin32CaptureBitmap&) = delete;

    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    // Draws the view with the drawing aspect within bounds; whatever the
    // result, the bitmap keeps what was drawn (white when nothing was).
    void DrawView(std::uint32_t aspect, const TRect& bounds);
    // Fills the bitmap white again.
    void Clear();
    // The pixels as they stand, into picture (resized to the bitmap's size).
    void ReadPixels(TPageBitmap& picture);
    // The pixels as they stand, into the rows of picture from top on (of the
    // bitmap's width, and tall enough).
    void ReadRowsInto(TPageBitmap& picture, std::int32_t top);

    HBITMAP Handle() const { return static_cast<HBITMAP>(FBitmap.Get()); }
    HDC DeviceContext() const { return FDc.Get(); }

  private:
    void Resize(std::int32_t width, std::int32_t height);

    Microsoft::WRL::ComPtr<IUnknown> FView;
    UniqueHandle<MemoryDcTraits> FDc;
    UniqueHandle<GdiObjectTraits> FBitmap;  // selected into FDc while it exists
    HGDIOBJ FOriginalBitmap = nullptr;      // what FDc held when it was made
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
};

}  // namespace lum::win32
