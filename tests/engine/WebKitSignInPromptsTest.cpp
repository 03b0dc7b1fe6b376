// The sign-in window's certificate bar in a real GTK window: what trusting
// runs may throw (the certificate file cannot be written, say); the guard of
// the button's callback reports it on standard error, as the sign-in program
// does, and the bar and its window go on answering.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/Forms.h"
#include "engine/WebKitSignInPrompts.h"
#include "linux/GtkTestSupport.h"

namespace lum::gtk {
namespace {

// The bar's "trust" button: the one with Alt+T.
GtkButton* TrustButton(TCertificateBar& bar) {
    GtkWidget* area = gtk_info_bar_get_action_area(GTK_INFO_BAR(bar.Widget()));
    GList* buttons = gtk_container_get_children(GTK_CONTAINER(area));
    GtkButton* trust = nullptr;
    for (GList* item = buttons; item; item = item->next) {
        const gchar* label = gtk_button_get_label(GTK_BUTTON(item->data));
        if (label && g_str_has_suffix(label, "(_T)"))
            trust = GTK_BUTTON(item->data);
    }
    g_list_free(buttons);
    return trust;
}

TEST(SignInPrompts, AnExceptionOfTrustingIsReportedAndTheBarGoesOn) {
    ASSERT_TRUE(testing::EnsureGtk());
    SetApplication(nullptr);  // the sign-in program has no application object
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    TCertificateBar bar;
    gtk_container_add(GTK_CONTAINER(window), bar.Widget());
    gtk_widget_show_all(window);
    bar.Show("untrusted", "intranet.example",
             [] { throw std::runtime_error("the certificate file cannot be written"); });
    ASSERT_NE(TrustButton(bar), nullptr);
    EXPECT_EQ(gtk_button_get_label(TrustButton(bar)),
              std::string("intranet.example について信頼する(_T)"));

    bool escaped = false;
    ::testing::internal::CaptureStderr();
    try {
        gtk_button_clicked(TrustButton(bar));
    } catch (...) {
        escaped = true;
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(escaped);
    EXPECT_THAT(said, ::testing::HasSubstr(": the certificate file cannot be written\n"));
    EXPECT_FALSE(gtk_widget_get_visible(bar.Widget()));

    // The window is still there, and the bar answers the next certificate.
    testing::RunFor(50);
    int trusted = 0;
    bar.Show("untrusted", "other.example", [&trusted] { ++trusted; });
    EXPECT_TRUE(gtk_widget_get_visible(bar.Widget()));
    gtk_button_clicked(TrustButton(bar));
    EXPECT_EQ(trusted, 1);
    EXPECT_FALSE(gtk_widget_get_visible(bar.Widget()));
    gtk_widget_destroy(window);
}

}  // namespace
}  // namespace lum::gtk
