// The process entry of fontctl.exe. The process is prepared before anything
// else can touch a drive or load a DLL. The command line is taken raw from
// the platform and split by our own rules, because C runtimes differ in how
// they build argv.
#include "cli/command_table.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

int main()
{
    fontctl::platform::PrepareProcess();
    fontctl::ByteBuffer const commandLine = fontctl::platform::ReadCommandLine();
    return fontctl::RunCommandLine(commandLine.get());
}
