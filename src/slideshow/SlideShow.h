// The run state of the slide show and its once-a-second tick: which page is
// on screen, its picture and file date, its scroll position and show time,
// and when the next capture pass is due. A page file that is missing, cannot
// be read or was captured from another address counts as not captured yet;
// a page waits for its capture at most a bounded time. Nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/WebView.h"
#include "settings/PageOptions.h"

namespace lum {

inline constexpr std::uint32_t kMillisecondsPerMinute = 60000;

class TSlideShow {
  public:
    // The pages are read from the cache folder beside the program until
    // SetCacheDir names another.
    TSlideShow(IFileSystem& fileSystem, IClock& clock);
    TSlideShow(const TSlideShow&) = delete;
    TSlideShow& operator=(const TSlideShow&) = delete;

    // The state the display form keeps (all zero, empty or false at first).
    std::vector<std::string> FURLs;      // page k is entry k
    std::int32_t FPageIndex = 0;         // page on screen, 0-based
    std::uint32_t FNextRefreshTick = 0;  // tick count at which a capture pass is due
    std::int32_t FScrollPos = 0;         // rows of the page above the top edge
    std::int32_t FRefreshTime = 0;       // minutes between capture passes
    std::int32_t FURLShowTime = 0;       // show time of a page in ticks
    bool FShowURL = false;
    bool FShowClock = false;
    bool FEnableScroll = false;
    TPageBitmap FBitmap;         // picture on screen; empty while not captured
    std::int32_t FFileDate = 0;  // packed date of FBitmap's file; 0 without one
    std::int32_t FTimerTag = 0;  // ticks the page has been counted (the timer's Tag)
    // The page on screen has no picture and its capture failed in this run:
    // why, and when (the packed date of the attempt).
    bool FFailed = false;
    TPageFailure FFailure;
    std::int32_t FFailureDate = 0;
    std::int32_t FCardPictureDate = -1;  // date of the page file when the card was shown
    // The page file on screen could not be held for lack of memory (why, in
    // the words of the failure): its card shows for the page's show time, and
    // the file is read again when a new capture replaces it or the page
    // comes round again, never at every tick.
    bool FOutOfMemory = false;
    std::string FOutOfMemoryDetail;
    // Packed date of the start of this run: failure records older than it
    // belong to an earlier run and are not shown.
    std::int32_t FRunStartDate = 0;
    // Width of the monitor the show is on; a wider picture is shown scaled
    // down to it (and scrolled as shown). 0: every picture at its own size.
    std::int32_t FMonitorWidth = 0;
    // This run captures pages: a page not yet captured is waited for. A run
    // that only shows what another captures passes such a page after its
    // show time, as nothing of its own would ever end the wait.
    bool FCapturing = true;
    // The options of each page's line (entry k: page k's; a page without an
    // entry has the defaults): its show time, scroll, days and hours, and
    // the minutes between its captures.
    std::vector<TPageOptions> FPageOptions;
    // No page is shown at this time (each is outside its days or hours): a
    // card says so, and when the next one is (none: no page ever is).
    bool FNoPageNow = false;
    std::optional<TLocalTime> FNextShown;
    // The settings file refused as a whole at the last reading (its list
    // could not be read), and why; empty when none was.
    std::string FRefusedSettingsPath;
    std::string FRefusedSettingsReason;

    // The longest a page waits for this run's capture beyond its show time,
    // in ticks: one capture's own limits (load, settle, measure, picture).
    static constexpr std::int32_t kCaptureWaitTicks =
        static_cast<std::int32_t>(kCaptureLimitMs / 1000);

    void SetCacheDir(std::string cacheDir) { FCacheDir = std::move(cacheDir); }
    const std::string& CacheDir() const { return FCacheDir; }

    // Start of a full-screen run: the next capture pass is due FRefreshTime
    // minutes after tickNow (32-bit arithmetic, wrapping); failures recorded
    // from now on are shown.
    void StartRun(std::uint32_t tickNow);

    // Shows page k from the top with a fresh show time, loading its cache
    // file; a missing or undecodable file, or one captured from another
    // address, leaves FBitmap empty and FFileDate 0, and FFailed set when
    // the capture has failed the page in this run; a file whose picture
    // cannot be held leaves FOutOfMemory set instead.
    void LoadPage(std::int32_t k);
    // The list read anew while the run goes on: a page on screen whose entry
    // changed or went is shown afresh, as its picture is of another address.
    void SetURLs(std::vector<std::string> urls);
    // The list and its options read anew (SetURLs with the options).
    void SetPages(std::vector<std::string> urls, std::vector<TPageOptions> options);
    const TPageOptions& OptionsOf(std::int32_t k) const;
    // Whether page k is to be captured by a pass now: shown now, and not
    // tried in this run within its minutes between captures.
    bool CaptureDue(std::int32_t k) const;
    // Minutes between capture passes: the run's, or a page's own when
    // shorter (the pass then takes only the pages that are due).
    std::int32_t PassMinutes() const;
    // What this run's capture tells the show, directly (the files beside the
    // pictures serve the other programs): page k has been tried, captured
    // from url when failure is null, else failed so. A page that waits for it
    // shows it at the next tick.
    void PageTried(std::int32_t k, const std::string& url, const TPageFailure* failure);
    // The page on screen waits for its capture (no picture, no card).
    bool Waiting() const { return FBitmap.Empty() && !FFailed && !FOutOfMemory; }
    // The size the picture on screen is shown at (scaled down to the
    // monitor's width when wider).
    TSize ShownSize() const;

    // One tick for a form formHeight pixels tall: reload check, scroll step,
    // show time and advance, refresh check; all skipped while X is held.
    // Returns true when a capture pass must be requested. The caller repaints
    // the whole form afterwards in every case.
    bool TimerTimer(std::int32_t formHeight);

  private:
    // What the capture told of one page: the address it tried and whether
    // it failed (why, and when by the clock of the moment).
    struct TPageNews {
        std::string Url;
        bool Failed = false;
        TPageFailure Failure;
        std::int32_t Date = 0;
        std::uint32_t Tick = 0;  // the tick count when it came
    };

    std::string URLOf(std::int32_t k) const;
    void ReloadCheck(std::int32_t formHeight);
    void TakeOverPicture(std::int32_t formHeight);
    std::int64_t ShowTicks() const;
    void Advance();
    bool ShownNow(std::int32_t k, const TLocalTime& now) const;
    void NoPageNow(const TLocalTime& now);
    bool ScrollStep(std::int32_t formHeight);
    bool RefreshCheck();
    void ScheduleRefresh(std::uint32_t tickNow);
    void LoadFailure(std::int32_t k);

    IFileSystem& FFileSystem;
    IClock& FClock;
    std::string FCacheDir;
    std::vector<TPageNews> FNews;  // entry k: page k, while the list has it
};

}  // namespace lum
