// A scriptable web view for the capture tests: pages with scroll sizes by
// URL, a log of every operation in order, live-bitmap counting, injectable
// failures. Completion events are fired by the test (Complete).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/WebView.h"

namespace lum::fakes {

struct TFakePage {
    std::int32_t ScrollWidth = 0;
    std::int32_t ScrollHeight = 0;
    bool Html = true;  // false: a document without an HTML body
};

class TFakeWebView : public IWebView {
  public:
    std::map<std::string, TFakePage> Pages;  // unknown URLs are empty HTML pages
    std::vector<std::string> Navigations;
    std::vector<std::string> Log;   // "get scrollWidth", "view width 516", ...
    TSize ViewSize{153, 73};        // the control's extent on the form
    std::vector<TSize> MeasuredAt;  // view size whenever scrollWidth was read
    int LiveBitmaps = 0;
    int CreatedBitmaps = 0;
    bool FailNavigate = false;
    bool FailSetSize = false;
    bool FailSave = false;

    // Fires the completion event as the control would.
    void Complete(const std::string& url) {
        if (OnDocumentComplete)
            OnDocumentComplete(url);
    }
    // Completes the document last navigated to.
    void CompleteCurrent() { Complete(Navigations.at(Navigations.size() - 1)); }

    void Navigate(const std::string& url) override {
        Log.push_back("navigate " + url);
        if (FailNavigate)
            throw Exception("navigation failed");
        Navigations.push_back(url);
        FCurrent = url;
    }
    std::unique_ptr<IHtmlObject> GetDocumentBody() override;
    void SetWidth(std::int32_t width) override {
        Log.push_back("view width " + std::to_string(width));
        if (FailSetSize)
            throw Exception("size failed");
        ViewSize.Width = width;
    }
    void SetHeight(std::int32_t height) override {
        Log.push_back("view height " + std::to_string(height));
        if (FailSetSize)
            throw Exception("size failed");
        ViewSize.Height = height;
    }
    std::unique_ptr<ICaptureBitmap> CreateCaptureBitmap() override;

    const TFakePage& CurrentPage() {
        static const TFakePage empty;
        auto it = Pages.find(FCurrent);
        return it == Pages.end() ? empty : it->second;
    }

  private:
    std::string FCurrent;
};

// The body and its style: logs what is read and written.
class TFakeHtmlObject : public IHtmlObject {
  public:
    TFakeHtmlObject(TFakeWebView& view, std::string name) : FView(view), FName(std::move(name)) {}
    std::int32_t GetIntProperty(const std::string& name) override {
        FView.Log.push_back("get " + FName + "." + name);
        const TFakePage& page = FView.CurrentPage();
        if (FName == "body" && name == "scrollWidth") {
            FView.MeasuredAt.push_back(FView.ViewSize);
            return page.ScrollWidth;
        }
        if (FName == "body" && name == "scrollHeight")
            return page.ScrollHeight;
        throw Exception("no property " + name);
    }
    std::unique_ptr<IHtmlObject> GetObjectProperty(const std::string& name) override {
        FView.Log.push_back("get " + FName + "." + name);
        if (FName != "body" || name != "style")
            throw Exception("no object " + name);
        return std::make_unique<TFakeHtmlObject>(FView, "style");
    }
    void PutStringProperty(const std::string& name, const std::string& value) override {
        FView.Log.push_back("put " + FName + "." + name + "=" + value);
        if (FName != "style")
            throw Exception("cannot put " + name);
    }

  private:
    TFakeWebView& FView;
    std::string FName;
};

// Saves a white 32-bit picture of its size through the file system.
class TFakeCaptureBitmap : public ICaptureBitmap {
  public:
    explicit TFakeCaptureBitmap(TFakeWebView& view) : FView(view) {
        ++FView.LiveBitmaps;
        ++FView.CreatedBitmaps;
    }
    ~TFakeCaptureBitmap() override { --FView.LiveBitmaps; }
    void SetWidth(std::int32_t width) override {
        FView.Log.push_back("bitmap width " + std::to_string(width));
        FWidth = width;
    }
    void SetHeight(std::int32_t height) override {
        FView.Log.push_back("bitmap height " + std::to_string(height));
        FHeight = height;
    }
    std::int32_t Width() const override { return FWidth; }
    std::int32_t Height() const override { return FHeight; }
    void DrawView(std::uint32_t aspect, const TRect& bounds) override {
        FView.Log.push_back("draw " + std::to_string(aspect) + " " + std::to_string(bounds.Left) +
                            "," + std::to_string(bounds.Top) + "," + std::to_string(bounds.Right) +
                            "," + std::to_string(bounds.Bottom) + " view " +
                            std::to_string(FView.ViewSize.Width) + "x" +
                            std::to_string(FView.ViewSize.Height));
    }
    void SaveToFile(IFileSystem& fileSystem, const std::string& path) override {
        FView.Log.push_back("save " + path);
        if (FView.FailSave)
            throw Exception("cannot write " + path);
        auto writer = fileSystem.CreateReplacing(path);
        if (!writer)
            throw Exception("cannot create " + path);
        // Giant pages are only logged: their size is what the tests look at.
        if (std::int64_t{FWidth} * FHeight > (1 << 22)) {
            FView.Log.push_back("saved " + std::to_string(FWidth) + "x" + std::to_string(FHeight));
            return;
        }
        const std::vector<std::uint8_t> rows(
            static_cast<std::size_t>(BmpRowStride(FWidth, 32)) * FHeight, 0xFF);
        TBmpImage image;
        image.Width = FWidth;
        image.Height = FHeight;
        image.BitsPerPixel = 32;
        image.Rows = rows;
        if (!WriteBmp(*writer, image) || !writer->Commit())
            throw Exception("cannot write " + path);
    }

  private:
    TFakeWebView& FView;
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
};

inline std::unique_ptr<IHtmlObject> TFakeWebView::GetDocumentBody() {
    Log.push_back("get body");
    if (!CurrentPage().Html)
        throw Exception("not an HTML document");
    return std::make_unique<TFakeHtmlObject>(*this, "body");
}

inline std::unique_ptr<ICaptureBitmap> TFakeWebView::CreateCaptureBitmap() {
    Log.push_back("create bitmap");
    return std::make_unique<TFakeCaptureBitmap>(*this);
}

// Hands out fake web views and keeps a pointer to the last one.
class TFakeWebViewFactory : public IWebViewFactory {
  public:
    std::unique_ptr<IWebView> CreateWebView(THandle owner) override {
        if (FailCreate)
            throw Exception("OLE コントロールのアクティベートに失敗しました");
        Owners.push_back(owner);
        auto view = std::make_unique<TFakeWebView>();
        Last = view.get();
        return view;
    }
    bool FailCreate = false;
    std::vector<THandle> Owners;
    TFakeWebView* Last = nullptr;  // valid while its form lives
};

}  // namespace lum::fakes
