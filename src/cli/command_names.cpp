// velinor-command-names: prints the name of every command `velinor-cli run` knows, one a line, in
// the order the command set searches its modules. The build writes them into the bash
// completion, and a test checks that the manual page describes each one.
#include <cstdio>

#include "commands/command_set.h"
#include "platform/event_loop_dispatcher.h"

int main() {
    velinor::EventLoopDispatcher ui;
    velinor::TCommandSet set(ui, [&ui](const std::function<bool()>& done) { ui.RunUntil(done); });
    for (const velinor::tAbstractCmd* command : set.Commands()) std::printf("%s\n", command->Name.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
