#pragma once
// The window's message boxes, each titled by its kind: errors, information, confirmation
// questions, and the choice of where to keep the preferences. GUI thread only.
#include <optional>
#include <string>

#include "actions/preferences_morvane.h"
#include "commands/command.h"

class QWidget;

namespace velinor {

inline constexpr const char* kErrorTitle = "Erreur";
inline constexpr const char* kInformationTitle = "Information";
inline constexpr const char* kConfirmationTitle = "Confirmation";

// A modal error box with an OK button.
void ShowErrorBox(QWidget* parent, const std::string& text);
// A modal information box with an OK button.
void ShowInformationBox(QWidget* parent, const std::string& text);
// A question answered "Oui", "Non" or "Annuler", and when `several`, also "Non à Tous" and
// "Oui à Tous"; Esc and the close box answer "Annuler".
TAnswer AskConfirmation(QWidget* parent, const std::string& question, bool several);
// A warning question answered "Oui" or "Non", and with `cancel` also "Annuler"; Esc and the
// close box answer "Annuler" (or "Non" without it).
TAnswer AskWarning(QWidget* parent, const std::string& question, bool cancel);
// Where to keep the preferences; nothing when cancelled.
std::optional<TSavePreferences> AskPreferencesMode(QWidget* parent, const std::string& caption);

}  // namespace velinor
