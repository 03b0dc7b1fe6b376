// A page whose capture was tried and failed: the words its card shows, and
// the small record the capture leaves beside the page files ("<k>.failed",
// the time of the attempt as its date) so that every showing instance knows
// of it. Reading a record never fails: a damaged one reads as a failure of
// unknown kind.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"
#include "platform/WebView.h"

namespace lum {

// The card's first line.
inline constexpr const char* kFailedPageHeading = "このページを表示できません";

// The kind's name where a failure is written down (the failure record, the
// capture program's answers): "refused", "http-status", ...
std::string FailureKindName(TPageFailureKind kind);
// The kind of a name; false for a name that is none.
bool FailureKindOfName(const std::string& name, TPageFailureKind& kind);

// The reason in Japanese, e.g. "接続を拒否されました".
std::string FailureReasonText(const TPageFailure& failure);
// One line for the log: the reason, then the engine's detail in brackets.
std::string FailureLogText(const std::string& url, const TPageFailure& failure);

// "%s%d.failed" of the cache folder and the page index.
std::string GetFailureFileName(const std::string& cacheDir, std::int32_t index);

// Replaces the record of page index; false when it cannot be written.
bool WriteFailureRecord(IFileSystem& files,
                        const std::string& cacheDir,
                        std::int32_t index,
                        const TPageFailure& failure);
// The record at path; false when there is none (or it cannot be opened).
bool ReadFailureRecord(IFileSystem& files, const std::string& path, TPageFailure& failure);

}  // namespace lum
