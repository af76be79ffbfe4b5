// The process entry of fontctl.exe. The command line is taken raw from the
// platform and split by our own rules, because C runtimes differ in how they
// build argv.
#include "cli/command_table.h"
#include "platform/platform.h"

int main()
{
    return fontctl::RunCommandLine(fontctl::platform::GetCommandLineA());
}
