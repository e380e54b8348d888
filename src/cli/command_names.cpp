// velinor-command-names: prints the name of every command `velinor-cli run` knows, one a line, in
// the order the run verb searches its groups. The build writes them into the bash completion, and
// a test checks that the manual page describes each one.
#include <cstdio>

#include "commands/catalogue.h"
#include "commands/cdm.h"
#include "commands/conversions.h"
#include "commands/scene_commands.h"
#include "commands/scene_export_commands.h"

int main() {
    velinor::TdmAction dm;
    velinor::TCdm cdm;
    velinor::TConversions conversions(cdm);
    velinor::TdmScene scenes;
    velinor::TSceneExportCommands sceneExports(dm);
    for (const auto& group :
         {dm.Commands(), conversions.Commands(), scenes.Commands(), sceneExports.Commands()})
        for (const velinor::tAbstractCmd* command : group) std::printf("%s\n", command->Name.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
