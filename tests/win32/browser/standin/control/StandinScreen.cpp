// The stand-in's pages at the screen's DPI, as the real control draws them
// for a host that asks for it. What it models, from MSHTML's documentation:
// - DOCHOSTUIFLAG_DPI_AWARE, returned by the host's
//   IDocHostUIHandler::GetHostInfo, has the layout engine count document
//   pixels at 96 dots per inch (the per-host form of FEATURE_96DPI_PIXEL):
//   one CSS pixel is 1/96 inch, so at 144 DPI the page is laid out in a view
//   two thirds as wide and drawn 1.5 times as large. Without the flag a
//   document pixel is a screen pixel. The control asks when it makes a
//   document, so the flag holds for each page from its start.
// - The DOM gives sizes and positions in CSS pixels: scrollWidth,
//   scrollHeight, scrollTop, window.scrollTo (StandinDom.cpp,
//   StandinScript.cpp).
// - window.screen (IHTMLScreen2) answers deviceXDPI / deviceYDPI, the dots
//   per inch the page is drawn at, and logicalXDPI / logicalYDPI, those of
//   a CSS pixel (96); they differ exactly when the control scales the page.
//   Here it is reached by name (IDispatch) or as IHTMLScreen2; the window's
//   typed get_screen is not served.
// The screen's DPI is GetDeviceCaps(LOGPIXELSX) of the screen, one figure
// for both axes, as Windows has one system DPI.
#include <mshtmdid.h>
#include <mshtmhst.h>

#include <cstdint>

#include "win32/browser/standin/control/StandinCom.h"
#include "win32/browser/standin/control/StandinDom.h"

namespace lum::standin {

using Microsoft::WRL::ComPtr;

namespace {

std::int32_t ScreenDpi() {
    const HDC dc = ::GetDC(nullptr);
    if (!dc)
        return kCssDpi;
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kCssDpi;
}

// The first device pixel at or right of CSS position css: rounded up, so
// that a device pixel belongs to the CSS pixel its left edge lies in.
std::int32_t DeviceOf(std::int32_t css, std::int32_t dpi) {
    return static_cast<std::int32_t>((std::int64_t{css} * dpi + kCssDpi - 1) / kCssDpi);
}

class TScreen final : public IHTMLScreen2, TRefCount {
  public:
    explicit TScreen(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    LUM_STANDIN_DISPATCH_AND(IHTMLScreen2)
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"logicalXDPI", DISPID_IHTMLSCREEN2_LOGICALXDPI},
                                           {L"logicalYDPI", DISPID_IHTMLSCREEN2_LOGICALYDPI},
                                           {L"deviceXDPI", DISPID_IHTMLSCREEN2_DEVICEXDPI},
                                           {L"deviceYDPI", DISPID_IHTMLSCREEN2_DEVICEYDPI}};
        return IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS*,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        const bool logical =
            id == DISPID_IHTMLSCREEN2_LOGICALXDPI || id == DISPID_IHTMLSCREEN2_LOGICALYDPI;
        const bool device =
            id == DISPID_IHTMLSCREEN2_DEVICEXDPI || id == DISPID_IHTMLSCREEN2_DEVICEYDPI;
        if (!(logical || device) || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;  // read-only
        if (!result)
            return E_POINTER;
        result->vt = VT_I4;
        result->lVal = logical ? kCssDpi : FPage->Dpi;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_logicalXDPI(LONG* p) override { return Answer(p, kCssDpi); }
    HRESULT STDMETHODCALLTYPE get_logicalYDPI(LONG* p) override { return Answer(p, kCssDpi); }
    HRESULT STDMETHODCALLTYPE get_deviceXDPI(LONG* p) override { return Answer(p, FPage->Dpi); }
    HRESULT STDMETHODCALLTYPE get_deviceYDPI(LONG* p) override { return Answer(p, FPage->Dpi); }

  private:
    static HRESULT Answer(LONG* p, std::int32_t value) {
        if (!p)
            return E_POINTER;
        *p = value;
        return S_OK;
    }

    std::shared_ptr<TPageState> FPage;
};

}  // namespace

std::int32_t DocumentDpi(IOleClientSite* site) {
    ComPtr<IDocHostUIHandler> handler;
    if (!site || FAILED(site->QueryInterface(IID_PPV_ARGS(&handler))))
        return kCssDpi;
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    const HRESULT hr = handler->GetHostInfo(&info);
    // The host may give CSS texts with its answer; they are the control's to free.
    ::CoTaskMemFree(info.pchHostCss);
    ::CoTaskMemFree(info.pchHostNS);
    if (FAILED(hr) || !(info.dwFlags & DOCHOSTUIFLAG_DPI_AWARE))
        return kCssDpi;
    return ScreenDpi();
}

IDispatch* NewScreen(std::shared_ptr<TPageState> page) {
    return static_cast<IHTMLScreen2*>(new TScreen(std::move(page)));
}

// Device row y shows the CSS row its top edge lies in.
TRgb TPageState::DrawnRow(std::int32_t y) const {
    const auto row = static_cast<std::int32_t>(std::int64_t{y} * kCssDpi / Dpi);
    const std::int32_t banner = BannerRows();
    if (row < banner)
        return RowColor(kBannerTag, row);
    return RowColor(RowTag(row - banner), row - banner);
}

void TPageState::DrawMark(HDC dc, const RECT& rect) const {
    if (!Page.Mark)
        return;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Scroll(width, height);
    if (width < kMarkSize || height < kMarkSize)
        return;
    const std::int32_t left = DeviceOf(width - kMarkSize, Dpi);
    const std::int32_t top = DeviceOf(height - kMarkSize, Dpi);
    const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    const COLORREF oldColor = ::SetDCBrushColor(dc, RGB(kMarkColor.R, kMarkColor.G, kMarkColor.B));
    ::PatBlt(dc, rect.left + left, rect.top + top, DeviceOf(width, Dpi) - left,
             DeviceOf(height, Dpi) - top, PATCOPY);
    ::SetDCBrushColor(dc, oldColor);
    ::SelectObject(dc, oldBrush);
}

}  // namespace lum::standin
