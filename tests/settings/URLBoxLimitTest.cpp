// The URL box's line limit on loading, where the value name and "=" still
// stand in front of each URL: a URL that would fit on its own but not
// behind its name is cut too. (Found by fuzz/url_list_fuzz.cpp: a URL of
// 4095 characters behind the name "1" was shown whole.)
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/FakeConfigDialogView.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeRegistry.h"
#include "settings/ConfigDlg.h"

namespace lum {
namespace {

TEST(URLBoxLimit, URLJustUnderTheLimitIsCutByTheLengthOfItsValueName) {
    fakes::TFakeApplicationPlatform platform;
    TApplication application(platform);
    SetApplication(&application);
    fakes::TFakeRegistry registry;
    fakes::TFakeFileSystem files;
    fakes::TFakeMessageBoxes boxes;
    const std::string key = "Software\\Orvane\\Lumenary\\URLList";
    registry.PutValue(key, "1", TRegValue{RegType::String, std::string(4095, 'x')});
    registry.PutValue(key, "e", TRegValue{RegType::String, std::string(4094, 'z')});
    registry.PutValue(key, "entry", TRegValue{RegType::String, std::string(4091, 'y')});

    auto view = std::make_unique<fakes::TFakeConfigDialogView>();
    auto& box = *view;
    {
        TLumenaryConfigDlg dialog(nullptr, registry, files, boxes, "C:\\Cache\\", std::move(view));
        // "1=" and "entry=" leave 4094 and 4090 characters; "e=" + 4094 fits.
        std::vector<std::size_t> lengths;
        for (const std::string& line : SplitURLLines(box.URLBox))
            lengths.push_back(line.size());
        EXPECT_EQ(lengths, (std::vector<std::size_t>{4094, 4094, 4090}));
        EXPECT_EQ(box.URLBox.find_first_not_of("xyz\r\n"), std::string::npos);
    }
    EXPECT_TRUE(platform.Reports.empty());
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    SetApplication(nullptr);
}

}  // namespace
}  // namespace lum
