// Fuzzes the options of a URL list line with arbitrary lines: reading never
// fails; the URL is a part of the line; every value read is within its
// option's range; and a line written back from what was read reads the
// same, without a problem. (That no problem quotes a header's value is a
// unit test: a fuzzer finds values that a problem's own words hold.) Any
// other outcome aborts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "settings/PageOptions.h"

namespace {

using lum::fuzz::Check;

void CheckRanges(const lum::TPageOptions& o) {
    Check(!o.ShowSeconds || (*o.ShowSeconds >= 1 && *o.ShowSeconds <= 3600));
    Check(!o.RefreshMinutes || (*o.RefreshMinutes >= 0 && *o.RefreshMinutes <= 1440));
    Check(!o.ZoomPercent || (*o.ZoomPercent >= 25 && *o.ZoomPercent <= 400));
    Check(!o.WaitSeconds || (*o.WaitSeconds >= 0 && *o.WaitSeconds <= 60));
    Check(o.Days != 0 && o.Days <= 0x7F);
    for (const lum::TTimeRange& r : o.Hours)
        Check(r.From >= 0 && r.From < 1440 && r.To >= 0 && r.To < 1440 && r.From != r.To);
    for (const lum::THeader& h : o.Headers)
        Check(!h.Name.empty() && h.Value.find_first_of("\r\n") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const lum::TURLLine read = lum::ParseURLLine(line);
    Check(read.URL.empty() || line.find(read.URL) != std::string::npos);
    CheckRanges(read.Options);
    if (read.URL.empty())
        return 0;
    const lum::TURLLine again = lum::ParseURLLine(lum::FormatURLLine(read.URL, read.Options));
    Check(again.Problems.empty());
    Check(again.URL == read.URL);
    Check(again.Options == read.Options);
    return 0;
}
