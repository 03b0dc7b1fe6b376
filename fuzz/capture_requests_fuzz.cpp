// Fuzzes the capture program's reading of the option lines: each line of
// the input is read into the options as the capture program reads it. A
// refused line gives a reason and leaves the options as they were (an
// "options" line starts them anew); a header's value never appears in a
// reason; and the options read, written again as the showing program sends
// them, read back the same. Anything else aborts.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "linux/capture/CaptureProtocol.h"
#include "linux/capture/CaptureRequests.h"

namespace {

using lum::TCaptureOptions;
using lum::fuzz::Check;
using namespace lum::gtk;

void ReadLine(const std::string& line, TCaptureOptions& options) {
    const TCaptureOptions before = options;
    std::string why;
    if (ReadCaptureOptionLine(line, options, why)) {
        Check(IsCaptureOptionLine(line));
        return;
    }
    Check(!why.empty());
    // The reason is the same with any other value that is as good or as
    // bad: it tells nothing of the value itself.
    const std::vector<std::string> words = SplitLine(line, 3);
    if (words[0] == "header" && words.size() == 3) {
        TCaptureOptions other;
        std::string otherWhy;
        const bool good = ReadCaptureOptionLine("header X " + words[2], other, otherWhy);
        ReadCaptureOptionLine("header " + words[1] + (good ? " v" : " \\n"), other, otherWhy);
        Check(otherWhy == why);
    }
    Check(words[0] == "options" ? options == TCaptureOptions{} : options == before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    TCaptureOptions options;
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        ReadLine(input.substr(start, end - start), options);
        start = end + 1;
    }
    TCaptureOptions again;
    for (const std::string& line : CaptureOptionLines(options)) {
        std::string why;
        Check(line.find('\n') == std::string::npos);
        Check(ReadCaptureOptionLine(line, again, why));
    }
    Check(again == options);
    return 0;
}
