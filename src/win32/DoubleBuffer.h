// The back buffer of one window's repaints: a bitmap of the client area's
// size and the display font, kept in a memory DC from one paint to the next
// and made again only when the size or the pixel density changes. When GDI
// refuses the buffer, painting goes straight to the screen (it flickers).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "platform/Canvas.h"
#include "win32/DeviceContexts.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

class TDoubleBuffer {
  public:
    TDoubleBuffer() = default;
    ~TDoubleBuffer();
    TDoubleBuffer(const TDoubleBuffer&) = delete;
    TDoubleBuffer& operator=(const TDoubleBuffer&) = delete;

    // Paints the client area of wnd on dc (its paint DC): paint draws on a
    // canvas of the whole client area, which is copied to dc in one step.
    void Paint(HWND wnd, HDC dc, const std::function<void(ICanvas&)>& paint);

    // What the buffer holds now (nullptr before the first paint).
    HGDIOBJ Bitmap() const { return FBitmap.Get(); }
    HGDIOBJ Font() const { return FFont.Get(); }

  private:
    void Prepare(HDC target, int width, int height);
    void ReleaseBitmap() noexcept;

    UniqueMemoryDc FDc;
    UniqueGdiObject FBitmap;
    UniqueGdiObject FFont;
    // Declared after what they select, so they are restored before it is deleted.
    std::optional<SelectedObject> FBitmapSelection;
    int FWidth = 0;
    int FHeight = 0;
    int FDpi = 0;
};

}  // namespace lum::win32
