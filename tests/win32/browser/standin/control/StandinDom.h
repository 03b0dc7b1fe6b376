// The document object model of the stand-in WebBrowser control: a document
// (IHTMLDocument2, IHTMLDocument3) whose body answers "scrollWidth",
// "scrollHeight" and "style" by name, a root element (documentElement) with
// scroll sizes of its own and no style, a style that takes "overflow" and
// "border", and the dispatch object of a frame. Calls it does not know fail with an HRESULT.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <string>

#include "win32/browser/standin/StandinPages.h"

namespace lum::standin {

// The control's view, shared with the pages laid out in it.
struct TViewState {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// One loaded page: what the document, its body and style share.
struct TPageState {
    std::wstring Url;
    TPageSpec Page;
    std::int32_t Loads = 1;  // loads of this URL kind in the process ("again" pages)
    std::shared_ptr<const TViewState> View;
    std::wstring Overflow;  // body.style values a caller put
    std::wstring Border;

    std::uint8_t Tag() const { return PageTag(Page, Loads); }
    void Scroll(std::int32_t& width, std::int32_t& height) const {
        ScrollSize(Page, View->Width, View->Height, width, height);
    }
    void RootScroll(std::int32_t& width, std::int32_t& height) const {
        RootScrollSize(Page, View->Width, View->Height, width, height);
    }
};

// The top-level document of a page.
IDispatch* NewDocument(std::shared_ptr<TPageState> page);
// A frame's window as DocumentComplete passes it: IDispatch and nothing more.
IDispatch* NewFrame();

}  // namespace lum::standin
