#include "cli/command_table.h"

#include "cli/command_code.h"
#include "cli/command_line.h"
#include "cli/result_output.h"
#include "fonts/install_font.h"
#include "fonts/uninstall_font.h"
#include "platform/platform.h"

#include <cstdint>

namespace fontctl {

int RunCommandLine(std::string_view commandLine)
{
    CommandArguments const arguments = SplitCommandLine(commandLine);
    switch (ReadCommandCode(ArgumentAt(arguments, 1))) {
    case 1:
    case 4:
    case 5:
    case 6:
        WriteResultCode(
            static_cast<std::int32_t>(InstallFont(ArgumentAt(arguments, 2), ArgumentAt(arguments, 3))));
        break;
    case 2:
        WriteResultCode(static_cast<std::int32_t>(UninstallFont(ArgumentAt(arguments, 2))));
        break;
    case 10:
        platform::NotifyFontChange();
        WriteResultCode(0);
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace fontctl
