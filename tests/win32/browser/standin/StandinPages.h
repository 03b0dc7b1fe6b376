// The pages that the stand-in WebBrowser control (LumenaryStandin.dll) knows
// by URL, how each is laid out at a given view size, and the picture it draws:
// one catalogue for the control and for the tests that check its pictures.
// An URL the catalogue does not know is a small fixed page of its own colour.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace lum::standin {

// URLs, "standin:<name>[?key=value&...]":
//   standin:fill             fills its view: scroll size = the view's size
//   standin:tall?h=N         as wide as its view, N px tall (default 3000)
//   standin:fixed?w=W&h=H    W x H whatever the view (default 500 x 300)
//   standin:giant            as wide as its view, 1,000,000 px tall
//   standin:frames?n=N       600 x 400; N frames (default 2) complete before it,
//                            as the real control completes every frame's
//                            document before the page's own, which comes last
//                            with the control as its window; until then its
//                            rows are kFramesPendingTag (what the frames hold
//                            is not there yet) and its readyState "interactive"
//                            &blank=K: frame K is an empty "about:blank" one
//                            (an advert's slot), completing as "about:blank"
//                            &hang=K: frame K never completes, so neither does
//                            the page (a frame whose server never answers)
//   standin:hang             fills its view, drawn and titled, but never
//                            completes: a server that holds its answer open;
//                            the control puts no limit on it, only Stop ends
//                            the navigation (counted: TOutcome::LoadsStopped)
//   standin:again            fills its view; its colour changes with every load
//   standin:again?reloads=N  the same, and it reloads itself N times, each
//                            time once its completion has been handled
//   standin:error?status=N   no page: NavigateError with the HTTP status N
//   standin:error?code=HEX   no page: NavigateError with the code HEX
//                            (e.g. 800C0005); &repeat=N fires it N times;
//                            &errorpage=1 shows the control's error page
//                            even when a sink cancelled it
//   standin:download         no page: a file download (FileDownload)
//   standin:late?ms=N        fills its view; a timer its script sets while the
//                            page loads draws its rows anew N ms later
//                            (default 1500): kLateEarlyTag until then, kLateTag
//   standin:restless         fills its view; its script changes its colour
//                            every 50 ms for as long as it is shown
//   standin:lazy?h=N         as wide as its view, N px tall (default 3000);
//                            rows below the first view stay kLazyPendingTag
//                            until they have been scrolled into view, then
//                            take kLazyLoadMs to arrive in kLazyTag; rows a
//                            scroll jumped over never come into view
//   standin:auth             its server asks for credentials (401 with a
//                            challenge): the control asks its site for them,
//                            else shows its credentials dialog (StandinSite.h);
//                            given a name, the page fills its view; refused,
//                            NavigateError 401
//   standin:certificate?problem=N
//                            its server's certificate has the WinINet problem
//                            N (default 12045, an unknown authority; 12044: a
//                            client certificate is asked for): the control
//                            asks its site, else shows its security alert;
//                            let through, the page fills its view
//   about:blank              an empty white page (scroll size 0 x 0)
// Anything else: 300 x 150 in the colour kUnknownTag.
// With LUM_STANDIN_HANG set in the environment, no navigation ever ends.
// Any page: &slow=N makes reading a scroll size (which lays the page out)
// and drawing it take N ms each, as the real control's synchronous layout
// and drawing do on a heavy page; &rw=W&rh=H gives its root element (documentElement) a scroll
// size of its own (else the body's); &late=1 leaves IHTMLDocument3 out, so
// the root is reached by name only; on standin:frames, &frameerror=K makes
// frame K report a NavigateError before it completes; &close=1 makes its
// script close its window (window.close()) once it has completed; &mark=1 puts a square
// of kMarkSize CSS pixels in kMarkColor in the bottom-right corner of the
// body's scroll size, the last thing a picture cut short would lose.
// &banner=H puts a banner H rows tall (kBannerTag) above the page, which a
// style sheet that sets "#banner" to "display: none" takes away (the page
// moves up); &px=X&py=Y&pw=W&ph=H is the box of the element "#panel" (the
// only selector its document's querySelector knows).
// Sizes are CSS pixels. A host that gives DOCHOSTUIFLAG_DPI_AWARE gets its
// pages laid out and drawn at the screen's DPI (StandinScreen.cpp): a view
// of 1024 device pixels is 682 CSS pixels wide at 144 DPI, and row y of the
// page covers device rows y * 1.5 up to (y + 1) * 1.5.
enum class TPageKind {
    Blank,
    Fill,
    Tall,
    Fixed,
    Giant,
    Frames,
    Again,
    Error,
    Download,
    Late,
    Restless,
    Lazy,
    Hang,
    Auth,
    Certificate,
    Unknown
};

struct TPageSpec {
    TPageKind Kind = TPageKind::Unknown;
    std::int32_t Width = 0;  // fixed sizes; 0 where the page takes the view's
    std::int32_t Height = 0;
    std::int32_t Frames = 0;     // frames that complete before the top document
    std::int32_t RootWidth = 0;  // the root element's scroll size; 0: the body's
    std::int32_t RootHeight = 0;
    bool LateRoot = false;        // no IHTMLDocument3: documentElement by name only
    std::int32_t Reloads = 0;     // again: reloads of its own
    std::int32_t FrameError = 0;  // frames: the frame (1-based) that reports an error
    std::uint32_t Code = 0;       // error: the NavigateError status code; certificate: its problem
    std::int32_t Repeat = 1;      // error: how often it is reported
    bool ErrorPage = false;       // error: the error page follows whatever the sink says
    std::int32_t LateMs = 0;      // late: when its rows are drawn anew, after the load
    std::int32_t BlankFrame = 0;  // frames: the frame (1-based) that is "about:blank"
    std::int32_t HangFrame = 0;   // frames: the frame (1-based) that never completes
    std::int32_t SlowMs = 0;      // what laying it out and drawing it take
    bool Closes = false;          // its script closes its window once it has completed
    bool Mark = false;            // the marker in its bottom-right corner
    std::int32_t Banner = 0;      // rows of the banner above the page
    std::int32_t PanelX = 0;      // the box of "#panel"; PanelW 0: none
    std::int32_t PanelY = 0;
    std::int32_t PanelW = 0;
    std::int32_t PanelH = 0;
};

inline constexpr std::int32_t kDefaultTallHeight = 3000;
inline constexpr std::int32_t kGiantHeight = 1000000;
inline constexpr std::int32_t kFramesWidth = 600;
inline constexpr std::int32_t kFramesHeight = 400;
inline constexpr std::int32_t kUnknownWidth = 300;
inline constexpr std::int32_t kUnknownHeight = 150;
inline constexpr std::int32_t kDefaultLateMs = 1500;
inline constexpr std::int32_t kRestlessMs = 50;
inline constexpr std::int32_t kLazyLoadMs = 200;
inline constexpr std::uint32_t kInvalidAuthority = 12045;  // ERROR_INTERNET_INVALID_CA
// A view that still shows scroll bars (its body's overflow not "hidden")
// draws a grey bar of this width down its right edge, as a browser would.
inline constexpr std::int32_t kScrollBarWidth = 16;
inline constexpr std::uint8_t kScrollBarGrey = 0x80;

// Red component of every pixel of a page: tells the pages apart.
inline constexpr std::uint8_t kFillTag = 0x20;
inline constexpr std::uint8_t kTallTag = 0x40;
inline constexpr std::uint8_t kFixedTag = 0x60;
inline constexpr std::uint8_t kFramesTag = 0x80;
inline constexpr std::uint8_t kFramesPendingTag = 0x88;  // frames: before the page completed
inline constexpr std::uint8_t kHangTag = 0x90;
inline constexpr std::uint8_t kGiantTag = 0xA0;
inline constexpr std::uint8_t kAgainTag = 0xC0;  // + 8 * (load count mod 4)
inline constexpr std::uint8_t kUnknownTag = 0xE0;
inline constexpr std::uint8_t kLateEarlyTag = 0x30;    // late: before its timer drew it
inline constexpr std::uint8_t kLateTag = 0x38;         // late: once drawn
inline constexpr std::uint8_t kRestlessTag = 0x50;     // + 2 * (changes mod 4)
inline constexpr std::uint8_t kLazyTag = 0x70;         // lazy: rows whose content came
inline constexpr std::uint8_t kLazyPendingTag = 0x78;  // lazy: rows not yet in

// The picture: every row y of the drawn area (counted from its top) is one
// colour, red = the page's tag, green = y mod 256, blue = (y / 256) mod 256,
// so a test reads from any pixel which page and which row it shows.
struct TRgb {
    std::uint8_t R, G, B;
};
inline constexpr TRgb RowColor(std::uint8_t tag, std::int32_t y) {
    return {tag, static_cast<std::uint8_t>(y & 0xFF), static_cast<std::uint8_t>((y >> 8) & 0xFF)};
}

// The marker of &mark=1: no page's rows have its red component.
inline constexpr std::int32_t kMarkSize = 10;
inline constexpr TRgb kMarkColor = {0xF8, 0x00, 0xF8};
inline constexpr std::uint8_t kBannerTag = 0xB8;  // the rows of a page's banner

inline std::int32_t QueryInt(std::string_view query, std::string_view key, std::int32_t fallback) {
    std::size_t pos = 0;
    while (pos <= query.size()) {
        const std::size_t end = std::min(query.find('&', pos), query.size());
        const std::string_view pair = query.substr(pos, end - pos);
        if (pair.size() > key.size() && pair.substr(0, key.size()) == key &&
            pair[key.size()] == '=') {
            std::int32_t value = 0;
            for (const char c : pair.substr(key.size() + 1)) {
                if (c < '0' || c > '9' || value > 100000000)
                    return fallback;
                value = value * 10 + (c - '0');
            }
            return value;
        }
        pos = end + 1;
    }
    return fallback;
}

inline std::uint32_t QueryHex(std::string_view query, std::string_view key) {
    const std::size_t at = query.find(std::string(key) + "=");
    if (at == std::string_view::npos || (at > 0 && query[at - 1] != '&'))
        return 0;
    std::uint32_t value = 0;
    for (std::size_t i = at + key.size() + 1; i < query.size() && query[i] != '&'; ++i) {
        const char c = query[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return 0;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

inline TPageSpec ParseKind(std::string_view name, std::string_view query) {
    if (name == "fill")
        return {TPageKind::Fill, 0, 0, 0};
    if (name == "tall")
        return {TPageKind::Tall, 0, QueryInt(query, "h", kDefaultTallHeight), 0};
    if (name == "fixed")
        return {TPageKind::Fixed, QueryInt(query, "w", 500), QueryInt(query, "h", 300), 0};
    if (name == "giant")
        return {TPageKind::Giant, 0, kGiantHeight, 0};
    if (name == "frames") {
        TPageSpec page{TPageKind::Frames, kFramesWidth, kFramesHeight, QueryInt(query, "n", 2)};
        page.FrameError = QueryInt(query, "frameerror", 0);
        page.BlankFrame = QueryInt(query, "blank", 0);
        page.HangFrame = QueryInt(query, "hang", 0);
        return page;
    }
    if (name == "again") {
        TPageSpec page{TPageKind::Again, 0, 0, 0};
        page.Reloads = QueryInt(query, "reloads", 0);
        return page;
    }
    if (name == "error") {
        TPageSpec page{TPageKind::Error, 0, 0, 0};
        const std::int32_t status = QueryInt(query, "status", 0);
        page.Code = status > 0 ? static_cast<std::uint32_t>(status) : QueryHex(query, "code");
        page.Repeat = QueryInt(query, "repeat", 1);
        page.ErrorPage = QueryInt(query, "errorpage", 0) != 0;
        return page;
    }
    if (name == "download")
        return {TPageKind::Download, 0, 0, 0};
    if (name == "late") {
        TPageSpec page{TPageKind::Late, 0, 0, 0};
        page.LateMs = QueryInt(query, "ms", kDefaultLateMs);
        return page;
    }
    if (name == "restless")
        return {TPageKind::Restless, 0, 0, 0};
    if (name == "lazy")
        return {TPageKind::Lazy, 0, QueryInt(query, "h", kDefaultTallHeight), 0};
    if (name == "hang")
        return {TPageKind::Hang, 0, 0, 0};
    if (name == "auth")
        return {TPageKind::Auth, 0, 0, 0};
    if (name == "certificate") {
        TPageSpec page{TPageKind::Certificate, 0, 0, 0};
        page.Code = static_cast<std::uint32_t>(QueryInt(query, "problem", kInvalidAuthority));
        return page;
    }
    return {TPageKind::Unknown, kUnknownWidth, kUnknownHeight, 0};
}

inline TPageSpec ParsePageUrl(std::string_view url) {
    if (url == "about:blank")
        return {TPageKind::Blank, 0, 0, 0};
    constexpr std::string_view scheme = "standin:";
    if (url.substr(0, scheme.size()) != scheme)
        return {TPageKind::Unknown, kUnknownWidth, kUnknownHeight, 0};
    const std::string_view rest = url.substr(scheme.size());
    const std::size_t mark = rest.find('?');
    const std::string_view name = rest.substr(0, mark);
    const std::string_view query = mark == std::string_view::npos ? "" : rest.substr(mark + 1);
    TPageSpec page = ParseKind(name, query);
    page.RootWidth = QueryInt(query, "rw", 0);
    page.RootHeight = QueryInt(query, "rh", 0);
    page.LateRoot = QueryInt(query, "late", 0) != 0;
    page.SlowMs = QueryInt(query, "slow", 0);
    page.Closes = QueryInt(query, "close", 0) != 0;
    page.Mark = QueryInt(query, "mark", 0) != 0;
    page.Banner = QueryInt(query, "banner", 0);
    page.PanelX = QueryInt(query, "px", 0);
    page.PanelY = QueryInt(query, "py", 0);
    page.PanelW = QueryInt(query, "pw", 0);
    page.PanelH = QueryInt(query, "ph", 0);
    return page;
}

// The page's scroll size when laid out in a view of viewWidth x viewHeight.
inline void ScrollSize(const TPageSpec& page,
                       std::int32_t viewWidth,
                       std::int32_t viewHeight,
                       std::int32_t& width,
                       std::int32_t& height) {
    switch (page.Kind) {
        case TPageKind::Blank:
            width = height = 0;
            return;
        case TPageKind::Fill:
        case TPageKind::Again:
        case TPageKind::Late:
        case TPageKind::Restless:
        case TPageKind::Hang:
        case TPageKind::Auth:
        case TPageKind::Certificate:
            width = viewWidth;
            height = viewHeight;
            return;
        case TPageKind::Tall:
        case TPageKind::Giant:
        case TPageKind::Lazy:
            width = viewWidth;
            height = page.Height;
            return;
        default:
            width = page.Width;
            height = page.Height;
            return;
    }
}

// The root element's scroll size: its own where the URL gives one, else
// the body's.
inline void RootScrollSize(const TPageSpec& page,
                           std::int32_t viewWidth,
                           std::int32_t viewHeight,
                           std::int32_t& width,
                           std::int32_t& height) {
    ScrollSize(page, viewWidth, viewHeight, width, height);
    if (page.RootWidth > 0)
        width = page.RootWidth;
    if (page.RootHeight > 0)
        height = page.RootHeight;
}

// The page's colour tag (of its first state, for the pages that change);
// loads counts the loads of an "again" page so far
// in the process, this one included.
inline std::uint8_t PageTag(const TPageSpec& page, std::int32_t loads) {
    switch (page.Kind) {
        case TPageKind::Fill:
        case TPageKind::Auth:
        case TPageKind::Certificate:
            return kFillTag;
        case TPageKind::Tall:
            return kTallTag;
        case TPageKind::Fixed:
            return kFixedTag;
        case TPageKind::Frames:
            return kFramesTag;
        case TPageKind::Giant:
            return kGiantTag;
        case TPageKind::Again:
            return static_cast<std::uint8_t>(kAgainTag + 8 * ((loads - 1) % 4));
        case TPageKind::Late:
            return kLateEarlyTag;
        case TPageKind::Restless:
            return kRestlessTag;
        case TPageKind::Lazy:
            return kLazyTag;
        case TPageKind::Hang:
            return kHangTag;
        case TPageKind::Blank:
            return 0xFF;
        default:
            return kUnknownTag;
    }
}

}  // namespace lum::standin
