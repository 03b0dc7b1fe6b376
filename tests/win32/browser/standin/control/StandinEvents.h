// The DWebBrowserEvents2 connection point of the stand-in control: sinks
// connect and disconnect by cookie, and an event goes to every sink through
// its IDispatch::Invoke. A sink's failure is not passed on.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "win32/browser/standin/control/StandinCom.h"

namespace lum::standin {

class TEventsPoint final : public IConnectionPoint, TRefCount {
  public:
    explicit TEventsPoint(IConnectionPointContainer* container) : FContainer(container) {}
    LUM_STANDIN_REFCOUNT

    // The container is going: the point no longer names it.
    void Detach() noexcept;
    // DocumentComplete(pDisp, URL) to every sink.
    void FireDocumentComplete(IDispatch* window, const std::wstring& url);
    // NavigateError(pDisp, URL, TargetFrameName, StatusCode, Cancel) to every
    // sink; whether one of them set Cancel.
    bool FireNavigateError(IDispatch* window, const std::wstring& url, std::uint32_t code);
    // FileDownload(ActiveDocument, Cancel) to every sink; whether one of them
    // set Cancel.
    bool FireFileDownload(bool activeDocument);
    // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl) to every
    // sink; whether one of them set Cancel.
    bool FireNewWindow3(const std::wstring& context, const std::wstring& url);
    // WindowClosing(IsChildWindow, Cancel) to every sink, for a top-level
    // window; whether one of them set Cancel.
    bool FireWindowClosing();
    // TitleChange(Text) to every sink.
    void FireTitleChange(const std::wstring& title);
    std::size_t Sinks() const noexcept { return FSinks.size(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  private:
    void Fire(DISPID id, DISPPARAMS& params);

    IConnectionPointContainer* FContainer;  // not owned: it owns this point
    std::vector<std::pair<DWORD, Microsoft::WRL::ComPtr<IDispatch>>> FSinks;
    DWORD FNextCookie = 1;
};

}  // namespace lum::standin
