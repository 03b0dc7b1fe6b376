// One slide-show tick plus one paint layout on a 1920 x 1080 form, for a
// page as tall as the screen and one 16000 pixels tall: the work per second
// must not grow with the page, since only the visible band is drawn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "common/Bmp.h"
#include "common/DosDate.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "platform/Canvas.h"
#include "slideshow/PageCache.h"
#include "slideshow/PaintLayout.h"
#include "slideshow/SlideShow.h"

namespace {

using namespace lum;

constexpr std::int32_t kW = 1920;
constexpr std::int32_t kH = 1080;

// Counts calls and the pixels a real canvas would transfer after clipping.
class TCountingCanvas : public ICanvas {
  public:
    std::int64_t Calls = 0;
    std::int64_t Pixels = 0;
    std::int32_t Width() const override { return kW; }
    std::int32_t Height() const override { return kH; }
    void FillRect(const TRect& r, TColor) override {
        ++Calls;
        Pixels += std::int64_t{r.Width()} * r.Height();
    }
    TSize TextExtent(const std::string& text) override {
        ++Calls;
        return TSize{static_cast<std::int32_t>(text.size()) * 8, 16};
    }
    void TextOut(std::int32_t, std::int32_t, const std::string&, TColor, TColor) override {
        ++Calls;
    }
    void DrawBitmap(const TPageBitmap& b, std::int32_t x, std::int32_t y) override {
        ++Calls;
        const std::int64_t w = std::min<std::int64_t>(x + b.Width(), kW) - std::max(x, 0);
        const std::int64_t h = std::min<std::int64_t>(y + b.Height(), kH) - std::max(y, 0);
        if (w > 0 && h > 0)
            Pixels += w * h;
    }
};

void TickAndPaint(benchmark::State& state) {
    const auto pageHeight = static_cast<std::int32_t>(state.range(0));
    fakes::TFakeFileSystem files;
    fakes::TFakeClock clock;
    fakes::TFakeLocale locale;
    const std::int32_t date = PackDosDateTime(2026, 12, 7, 15, 4, 6);
    files.AddFile(GetCacheFileName(files, 0), {}, date);

    TSlideShow show(files, clock);
    show.FURLs = {"https://example.com/a/rather/long/path/of/a/page.html"};
    show.FURLShowTime = INT_MAX;  // stays on the page: no reload inside the loop
    show.FRefreshTime = 1;
    show.FEnableScroll = true;
    show.FShowURL = true;
    show.FShowClock = true;
    show.FBitmap = TPageBitmap(kW, pageHeight);
    show.FFileDate = date;
    show.StartRun(clock.Tick);

    TCountingCanvas canvas;
    for (auto _ : state) {
        clock.Tick += 1000;
        // Keep the tall page scrolling rather than dwelling at its end.
        if (show.FScrollPos > pageHeight)
            show.FScrollPos = 0;
        benchmark::DoNotOptimize(show.TimerTimer(kH));
        TPaintContext context{TDisplayMode::dmNormal, kW, kH, clBlack, clWhite, "", clock.Now()};
        PaintDisplay(canvas, show, context, locale);
    }
    state.counters["pixels/paint"] =
        static_cast<double>(canvas.Pixels) / static_cast<double>(state.iterations());
}

BENCHMARK(TickAndPaint)->Arg(1080)->Arg(16000);

}  // namespace
