// An application platform for the Win32 layer's tests: error reports are
// kept for the test to read, and deferred actions run at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Form.h"

namespace lum::win32 {

class TReportPlatform : public IApplicationPlatform {
  public:
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
    std::vector<std::string> Reports;
};

}  // namespace lum::win32
