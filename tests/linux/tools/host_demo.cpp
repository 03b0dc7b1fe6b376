// A small program built on the Linux layer alone, run by the tests as a
// process of its own: it reads the command line like the real program, puts
// its one form where the options say, paints it green with a line of text
// and ends on SIGTERM, on the end of its window, or on input (full-screen).
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "common/Form.h"
#include "linux/GtkApplication.h"
#include "linux/GtkFormWindow.h"
#include "linux/LinuxHost.h"
#include "platform/Canvas.h"

namespace {

lum::TFormWindowStyle DemoStyle() {
    lum::TFormWindowStyle style;
    style.ClassName = "THostDemo";
    style.Caption = "Lumenary";
    style.Bounds = lum::TRect{0, 0, 640, 480};
    style.MainWindow = true;
    return style;
}

class TDemoForm : public lum::TForm {
  public:
    explicit TDemoForm(lum::IFormWindowFactory& factory)
        : TForm(nullptr, factory, DemoStyle()), FTimer(this) {
        FTimer.Interval = 100;
        FTimer.OnTimer = [this](lum::TTimer*) { Invalidate(); };
        FTimer.SetEnabled(true);
    }

  protected:
    void Paint(lum::ICanvas& canvas) override {
        canvas.FillRect(lum::TRect{0, 0, canvas.Width(), canvas.Height()}, 0x0000FF00);
        canvas.TextOut(5, 5, "読み込み中です", lum::clBlack, lum::clWhite);
    }

  private:
    lum::TTimer FTimer;
};

}  // namespace

int main(int argc, char** argv) {
    gtk_parse_args(&argc, &argv);  // GTK's own options (--display) first
    const lum::gtk::TLinuxParseResult parsed =
        lum::gtk::ParseArgs(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.Ok) {
        std::fprintf(stderr, "lumenary: %s\n%s", parsed.Error.c_str(),
                     lum::gtk::UsageText(argv[0]).c_str());
        return lum::gtk::kUsageExitCode;
    }
    if (parsed.Options.Help) {
        std::fputs(lum::gtk::UsageText(argv[0]).c_str(), stdout);
        return 0;
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "lumenary: cannot open the X display\n");
        return 1;
    }
    lum::gtk::TStandardErrorBoxes boxes;
    lum::gtk::TGtkApplicationPlatform platform(boxes);
    lum::TApplication application(platform);
    application.Title = "Lumenary";
    lum::SetApplication(&application);
    lum::gtk::TGtkFormWindowFactory windows;
    int code = 0;
    {
        TDemoForm form(windows);
        try {
            lum::gtk::TLinuxHost host(form, parsed.Options);
            form.Show();
            lum::gtk::RunMainLoop();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumenary: %s\n", e.what());
            code = 1;
        }
    }
    platform.RunDeferred();
    lum::SetApplication(nullptr);
    return code;
}
