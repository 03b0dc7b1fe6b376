// The web view the page capture drives: navigation by URL, a completion event
// carrying the document's URL, late-bound access by name to the document's
// body and its style, the view's size, and drawing the view into a bitmap
// that is saved as a BMP file. Every failing operation throws lum::Exception.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Types.h"

namespace lum {

// An object of the document's object model (the body element, its style),
// reached by property name the way a script would.
class IHtmlObject {
  public:
    virtual ~IHtmlObject() = default;
    virtual std::int32_t GetIntProperty(const std::string& name) = 0;
    virtual std::unique_ptr<IHtmlObject> GetObjectProperty(const std::string& name) = 0;
    virtual void PutStringProperty(const std::string& name, const std::string& value) = 0;
};

// A bitmap compatible with the screen, white when it receives its size.
// Destroying it frees everything it holds.
class ICaptureBitmap {
  public:
    virtual ~ICaptureBitmap() = default;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    // Draws the current view of the web view that created this bitmap with
    // the given drawing aspect within bounds; whatever the result, the
    // bitmap keeps what was drawn (white when nothing was).
    virtual void DrawView(std::uint32_t aspect, const TRect& bounds) = 0;
    // Writes the bitmap at its own colour depth as a new BMP file, replacing
    // an earlier file of that name in one step.
    virtual void SaveToFile(IFileSystem& fileSystem, const std::string& path) = 0;
};

class IWebView {
  public:
    virtual ~IWebView() = default;
    // Fired for every completed document (the top-level one or a frame) with
    // its URL, later, through the message loop.
    std::function<void(const std::string& url)> OnDocumentComplete;

    // Starts loading url and returns at once.
    virtual void Navigate(const std::string& url) = 0;
    // The body element of the current top-level HTML document.
    virtual std::unique_ptr<IHtmlObject> GetDocumentBody() = 0;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
    virtual std::unique_ptr<ICaptureBitmap> CreateCaptureBitmap() = 0;
};

// Makes the web view of the capture form: its window, owned by the window
// owner, with the control activated in it. Throws lum::Exception when the
// control cannot be activated.
class IWebViewFactory {
  public:
    virtual ~IWebViewFactory() = default;
    virtual std::unique_ptr<IWebView> CreateWebView(THandle owner) = 0;
};

}  // namespace lum
