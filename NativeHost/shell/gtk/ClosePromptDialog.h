#pragma once
#include "shell/ClosePrompt.h"

#include <gtk/gtk.h>

#include <optional>

namespace kes::gtk {

// The close prompt as a modal GTK dialog with the prompt's texts: the instruction as the primary text, the
// content below it, the radio buttons, the check box and the two buttons (Cancel by default).
std::optional<ClosePromptAnswer> askClosePrompt(GtkWindow* parent, const ClosePromptContent& content);

// A modal message with an OK button.
void showMessage(GtkWindow* parent, const std::string& text, bool error);

} // namespace kes::gtk
