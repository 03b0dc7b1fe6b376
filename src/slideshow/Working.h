// The capture form: loads the display form's URLs one at a time into its web
// view and stores each completed page as that page's cache file. A failure
// leaves WebDocumentComplete as lum::Exception (the caller shows the report)
// and the pass then stalls until the view reports a further completion.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/WebView.h"

namespace lum {

// What the capture reads of the display form; it writes nothing there.
class ICaptureSource {
  public:
    virtual ~ICaptureSource() = default;
    virtual const std::vector<std::string>& URLs() const = 0;
    virtual bool EnableScroll() const = 0;
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
};

class TWorkingForm {
  public:
    // Takes the web view (the form's window with its control) and binds its
    // completion event to WebDocumentComplete.
    TWorkingForm(std::unique_ptr<IWebView> web,
                 IFileSystem& fileSystem,
                 const ICaptureSource& source);
    ~TWorkingForm();
    TWorkingForm(const TWorkingForm&) = delete;
    TWorkingForm& operator=(const TWorkingForm&) = delete;

    // Starts a pass with the blank page unless one is under way.
    void StartCapture();
    // The web view's completion event.
    void WebDocumentComplete(const std::string& url);

    std::int32_t NextIndex() const { return FNextIndex; }
    bool Busy() const { return FBusy; }
    IWebView& Web() { return *FWeb; }

  private:
    void CapturePage();

    std::unique_ptr<IWebView> FWeb;
    IFileSystem& FFileSystem;
    const ICaptureSource& FSource;
    std::int32_t FNextIndex = 0;  // next URL to load; k + 1 while page k loads
    bool FBusy = false;           // a pass is under way
};

}  // namespace lum
