// A page's hide and crop options in the capture window, through the
// document's own methods by name (IE 9 and later in standards mode):
// document.createStyleSheet() with a rule that hides what the selectors
// select, and document.querySelector(selector).getBoundingClientRect() for
// the box of the one element that is the picture.
#include "win32/browser/Win32WebView.h"

#include <mshtml.h>

#include <algorithm>
#include <cmath>

#include "common/Forms.h"
#include "common/PageScale.h"
#include "win32/browser/DispatchObject.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

// What cannot be hidden (a document without style sheets, selectors the
// engine refuses) is said and the page measured as it is.
void TWin32WebView::HideSelected() noexcept {
    if (FOptions.Hide.empty())
        return;
    try {
        TDispatchObject document(ComPtr<IDispatch>(Document().Get()), "document");
        const std::unique_ptr<TDispatchObject> sheet = document.CallMethod("createStyleSheet", "");
        if (!sheet)
            throw Exception("the document made no style sheet");
        sheet->PutStringProperty("cssText", FOptions.Hide + " { display: none !important; }");
    } catch (const std::exception& e) {
        Application().Log("hide=\"" + FOptions.Hide + "\" is left out: " + e.what());
    }
}

// The box in the page's device pixels, rounded out so that nothing of it is
// cut, from the page's top left (the window is back at the top after the
// settle step; its scroll position is added all the same).
TRect TWin32WebView::CropBox() {
    TDispatchObject document(ComPtr<IDispatch>(Document().Get()), "document");
    const std::unique_ptr<TDispatchObject> element =
        document.CallMethod("querySelector", FOptions.Crop);
    if (!element)
        throw Exception("no element matches crop=\"" + FOptions.Crop + "\"");
    const std::unique_ptr<TDispatchObject> box = element->CallMethod("getBoundingClientRect", "");
    if (!box)
        throw Exception("the box of crop=\"" + FOptions.Crop + "\" cannot be read");
    // The scroll position is the root element's in standards mode and the
    // body's in quirks mode; the other one answers 0. Pages are captured
    // from their left edge: there is no scroll across to add.
    const std::int32_t scrollX = 0;
    std::int32_t scrollY = GetDocumentBody()->GetIntProperty("scrollTop");
    if (const std::unique_ptr<TDispatchObject> root = GetDocumentRoot())
        scrollY = std::max(scrollY, root->GetIntProperty("scrollTop"));
    const TPageDpi dpi = PageDpi();
    const auto edge = [&](const char* name, std::int32_t scroll, TAxisDpi axis, bool end) {
        const double css = box->GetNumberProperty(name) + scroll;
        const double device = css * axis.Device / axis.Logical;
        return static_cast<std::int32_t>(
            std::clamp(end ? std::ceil(device) : std::floor(device), 0.0, 32767.0));
    };
    const TRect rect{
        edge("left", scrollX, dpi.Across, false), edge("top", scrollY, dpi.Down, false),
        edge("right", scrollX, dpi.Across, true), edge("bottom", scrollY, dpi.Down, true)};
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top)
        throw Exception("the element of crop=\"" + FOptions.Crop + "\" has no size");
    return rect;
}

}  // namespace lum::win32
