// MessageBoxW on GTK: a modal message dialog with the buttons and icon the
// type asks for, answered on the GTK thread whichever thread asks.
#include "platform/linux/display/gtk/gtk_backend.h"
#include "platform/linux/display/gtk/gtk_shown.h"
#include "platform/text.h"

#include <future>
#include <vector>

namespace platform {

namespace {

// Not among the stand-in's result names, but the numbers a box answers with.
constexpr int kTryAgain = 10;
constexpr int kContinue = 11;

struct BoxButton {
    const char* label;
    int id;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
        case MB_YESNO:
            return {{"_Yes", IDYES}, {"_No", IDNO}};
        case MB_RETRYCANCEL:
            return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
        case MB_CANCELTRYCONTINUE:
            return {{"_Cancel", IDCANCEL}, {"_Try Again", kTryAgain}, {"_Continue", kContinue}};
        default:
            return {{"_OK", IDOK}};
    }
}

GtkMessageType MessageTypeOf(UINT type) {
    switch (type & 0xF0u) {
        case MB_ICONERROR:
            return GTK_MESSAGE_ERROR;
        case MB_ICONQUESTION:
            return GTK_MESSAGE_QUESTION;
        case MB_ICONWARNING:
            return GTK_MESSAGE_WARNING;
        case MB_ICONINFORMATION:
            return GTK_MESSAGE_INFO;
        default:
            return GTK_MESSAGE_OTHER;
    }
}

}  // namespace

int GtkBackend::ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    auto ask = [=, this] {
        Shown* parent = Find(TopLevelOf(owner));
        GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent->window) : nullptr, GTK_DIALOG_MODAL,
                                                   MessageTypeOf(type), GTK_BUTTONS_NONE, "%s", ToUtf8(text).c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption).c_str());
        const std::vector<BoxButton> buttons = ButtonsOf(type);
        for (const BoxButton& button : buttons) {
            gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.id);
        }
        int answer = gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        if (answer < 0) {
            // Closed without a button: Cancel where there is one, else the first.
            answer = buttons.front().id;
            for (const BoxButton& button : buttons) {
                if (button.id == IDCANCEL) {
                    answer = IDCANCEL;
                }
            }
        }
        return answer;
    };
    if (std::this_thread::get_id() == m_gtkThread) {
        return ask();
    }
    auto answer = std::make_shared<std::promise<int>>();
    std::future<int> result = answer->get_future();
    OnGtkThread([ask, answer] { answer->set_value(ask()); });
    return result.get();
}

}  // namespace platform
