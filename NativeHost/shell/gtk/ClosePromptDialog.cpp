#include "shell/gtk/ClosePromptDialog.h"

#include <vector>

namespace kes::gtk {

std::optional<ClosePromptAnswer> askClosePrompt(GtkWindow* parent, const ClosePromptContent& content) {
    GtkWidget* dialog = gtk_message_dialog_new(
        parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s", content.instruction.c_str());
    if (dialog == nullptr)
        return std::nullopt;
    gtk_window_set_title(GTK_WINDOW(dialog), content.title.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", content.content.c_str());
    for (const auto& [id, text] : content.buttons)
        gtk_dialog_add_button(GTK_DIALOG(dialog), text.c_str(), id);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), content.defaultButton);

    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    std::vector<std::pair<int, GtkWidget*>> radios;
    GSList* group = nullptr;
    for (const auto& [id, text] : content.radioButtons) {
        GtkWidget* radio = gtk_radio_button_new_with_label(group, text.c_str());
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radio), id == content.defaultRadioButton);
        gtk_box_pack_start(GTK_BOX(area), radio, FALSE, FALSE, 0);
        radios.emplace_back(id, radio);
    }
    GtkWidget* verification = gtk_check_button_new_with_label(content.verification.c_str());
    gtk_box_pack_start(GTK_BOX(area), verification, FALSE, FALSE, 0);
    gtk_widget_show_all(area);

    ClosePromptAnswer answer;
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    // Closing the dialog any other way counts as Cancel.
    answer.button = response == closePromptOkButton ? closePromptOkButton : closePromptCancelButton;
    for (const auto& [id, radio] : radios) {
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio)))
            answer.radioButton = id;
    }
    answer.verified = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(verification)) != FALSE;
    gtk_widget_destroy(dialog);
    return answer;
}

void showMessage(GtkWindow* parent, const std::string& text, bool error) {
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_WARNING,
                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), "Kestrava");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

} // namespace kes::gtk
