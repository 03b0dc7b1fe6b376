// The capture bitmap: a device-dependent bitmap compatible with the screen,
// white when sized, into which OleDraw draws a view, saved as a BMP file at
// its own colour depth. A size the system cannot allocate and a file that
// cannot be written throw lum::Exception.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "platform/WebView.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

class TWin32CaptureBitmap final : public ICaptureBitmap {
  public:
    // view: the object OleDraw draws (the control).
    explicit TWin32CaptureBitmap(Microsoft::WRL::ComPtr<IUnknown> view);
    ~TWin32CaptureBitmap() override;
    TWin32CaptureBitmap(const TWin32CaptureBitmap&) = delete;
    TWin32CaptureBitmap& operator=(const TWin32CaptureBitmap&) = delete;

    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;
    std::int32_t Width() const override { return FWidth; }
    std::int32_t Height() const override { return FHeight; }
    void DrawView(std::uint32_t aspect, const TRect& bounds) override;
    void SaveToFile(IFileSystem& fileSystem, const std::string& path) override;

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
