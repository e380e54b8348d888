#pragma once
// The options every velinor-cli verb takes: "--set NOM=VALEUR" sets any action of the catalogue
// by its script name (any case) through its apply path, and "--preferences" starts from the
// window's saved preferences (read only) instead of the defaults. Main thread.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/verbs.h"
#include "commands/command_set.h"
#include "platform/event_loop_dispatcher.h"

namespace velinor::cli {

// What `velinor-cli help` says of the two options.
inline constexpr const char* kCommonOptionsHelp =
    "Options de tous les verbes :\n"
    "  --set NOM=VALEUR  règle l'action NOM (nom de script, sans distinction de casse) comme le ferait\n"
    "                    la fenêtre ; répétable. \"velinor-cli help settings\" liste les réglages.\n"
    "  --preferences     part des préférences enregistrées par la fenêtre (lues seulement, jamais\n"
    "                    écrites) au lieu des valeurs par défaut.\n";

struct CommonOptions {
    std::vector<std::pair<std::string, std::string>> sets;
    bool preferences = false;
};

// Removes "--set NOM=VALEUR" and "--preferences" from `args`. False, with the message on stderr,
// for a malformed setting.
bool TakeCommonOptions(Args& args, CommonOptions& options, const char* usage);

// The command set as the window builds it, on an event loop standing for the UI thread.
class CliCommandSet {
public:
    CliCommandSet();
    ~CliCommandSet();

    // Defaults (or the saved preferences), then the settings in their order. The list exports
    // ("ExportCSV", "ExportExcel") are kept for RunExports. False, with the reason on stderr,
    // for an unknown setting, a command given as a setting or a value the setting refuses.
    bool Configure(const CommonOptions& options);
    // Runs the list exports asked for, over the list as it is now. False when one failed.
    bool RunExports();
    // Removes the leftovers of killed runs (temporary files no live process holds) from the
    // folders of the list's files and from the save folder when the commands write there, and
    // says on stderr how many went from each folder.
    void RemoveLeftovers();

    EventLoopDispatcher ui;
    std::unique_ptr<TCommandSet> set;

private:
    std::vector<std::pair<TWidestringAction*, std::string>> exports_;
};

// "velinor-cli help settings": every setting with its script name, kind, default, current value
// and hint.
int PrintSettings(const CommonOptions& options);

}  // namespace velinor::cli
