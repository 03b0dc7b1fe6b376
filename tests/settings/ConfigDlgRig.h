// The configuration dialog's logic with every service faked, shared by its
// test files: the application object, registry, files, boxes and a view,
// with helpers to open the dialog, run a modal script and look at values.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "fakes/FakeConfigDialogView.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeRegistry.h"
#include "settings/ConfigDlg.h"

namespace lum::testing {

inline const std::string kSettingsKey = "Software\\Orvane\\Lumenary";
inline const std::string kURLKey = "Software\\Orvane\\Lumenary\\URLList";
inline const std::string kCache = "C:\\Tools\\LumenaryCache\\";

inline std::string ChooserName(std::int32_t selection) {
    return selection < 0 ? "(none)" : OfferedColors()[selection].ChooserName;
}

class TConfigDlgRig {
  protected:
    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    fakes::TFakeRegistry Registry;
    fakes::TFakeFileSystem Files;
    fakes::TFakeMessageBoxes Boxes;
    std::unique_ptr<TLumenaryConfigDlg> Dialog;
    fakes::TFakeConfigDialogView* View = nullptr;

    TConfigDlgRig() { SetApplication(&App); }
    ~TConfigDlgRig() {
        Dialog.reset();
        SetApplication(nullptr);
    }

    fakes::TFakeConfigDialogView& Open() {
        auto view = std::make_unique<fakes::TFakeConfigDialogView>();
        View = view.get();
        Dialog = std::make_unique<TLumenaryConfigDlg>(nullptr, Registry, Files, Boxes, kCache,
                                                      std::move(view));
        return *View;
    }
    // Opens the dialog, runs script inside its modal run, closes it.
    int RunDialog(const std::function<int(fakes::TFakeConfigDialogView&)>& script) {
        Open().OnShowModal = script;
        const int result = Dialog->ShowModal();
        Dialog.reset();
        return result;
    }
    int OpenAndPressOK() {
        return RunDialog([](fakes::TFakeConfigDialogView& v) { return v.ClickOK(); });
    }
    void Store(const std::string& name, const std::string& text) {
        Registry.PutValue(kSettingsKey, name, TRegValue{RegType::String, text});
    }
    std::string Stored(const std::string& name, const std::string& key = kSettingsKey) {
        auto value = Registry.GetValue(key, name);
        return value ? value->Text : "(missing)";
    }
};

}  // namespace lum::testing
