// The back buffer of one window's repaints: a bitmap of the client area's
// size and the display font, kept in a memory DC from one paint to the next
// and made again only when the size or the pixel density changes. Each frame
// is recorded first; only the parts where it differs from the frame before
// are drawn again and copied to the screen; a change of the system colours
// (which the frame names by code) redraws it all. A frame whose page picture
// changed in place (a page scrolled) sends that picture straight to the
// window in one call, and draws only what lies over it (the URL line, the
// clock) and what else changed through the buffer. When GDI refuses the buffer,
// painting goes straight to the screen (it flickers).
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "common/FrameRecord.h"
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

    // Paints a frame of the client area of wnd into the buffer: paint draws
    // on a canvas of the whole client area. dc is the window's paint DC.
    // Returns the parts of the client area that changed (everything for a
    // new buffer); without a buffer the frame went straight to dc. When the
    // paint asks for no more than the corner pixel that the form's own
    // repaint invalidates, pictures that changed in place have already gone
    // to the window; the parts returned are the rest, to be presented.
    std::vector<RECT> Render(HWND wnd, HDC dc, const std::function<void(ICanvas&)>& paint);
    // Copies rect of the buffer to dc at the same place.
    void Present(HDC dc, const RECT& rect) const;
    // Whether the buffer holds the last frame, so that Render can tell what
    // changed (else the whole client area must be painted).
    bool HoldsFrame() const { return FHasFrame; }
    // The frame held is no longer what the screen should show (the system
    // colours changed): the next Render draws everything.
    void Forget() noexcept { FHasFrame = false; }

    // What the buffer holds now (nullptr before the first paint).
    HGDIOBJ Bitmap() const { return FBitmap.Get(); }
    HGDIOBJ Font() const { return FFont.Get(); }

  private:
    void Prepare(HDC target, int dpi, int width, int height);
    void ReleaseBitmap() noexcept;
    void ClipTo(const std::vector<TRect>& rects);
    bool SystemColorsChanged() noexcept;
    std::vector<TRect> Update(HWND wnd, HDC dc, const TFrame& frame, ICanvas& canvas);
    bool UpdateInPlace(HWND wnd,
                       HDC dc,
                       const TFrame& frame,
                       ICanvas& canvas,
                       std::vector<TRect>& changed);
    void Redraw(std::vector<TRect> rects, const TFrame& frame, ICanvas& canvas);

    UniqueMemoryDc FDc;
    UniqueGdiObject FBitmap;
    UniqueGdiObject FFont;
    // Regions made once: the changed parts of a frame, and a scratch rectangle.
    UniqueGdiObject FChanged;
    UniqueGdiObject FScratch;
    // Declared after what they select, so they are restored before it is deleted.
    std::optional<SelectedObject> FBitmapSelection;
    int FWidth = 0;
    int FHeight = 0;
    int FDpi = 0;
    TFrame FFrame;  // the frame the buffer holds, but for FStale
    // Where the buffer still holds an older frame, as the pictures that
    // went straight to the window were not drawn on it (empty: nowhere).
    TRect FStale;
    TSparePictures FSpares;  // the memory of copies of pictures gone
    std::array<COLORREF, COLOR_MENUBAR + 1> FSystemColors{};  // as the frame was drawn
    bool FHasFrame = false;
};

}  // namespace lum::win32
