#pragma once
// The parts of editor-check that need no window: its command line, the commands it reads from
// its command file, the lines it prints and the comparison of what an editor left behind.

#include "host/HostWindow.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace editorcheck {

/// A command line that cannot be followed; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string plugin;   ///< the plug-in binary to load
    int program = -1;     ///< effSetProgram before the editor opens (-1: the plug-in's own)
    std::string commands; ///< folder watched for the file "command"; empty: none
    int seconds = 120;    ///< the interactive run ends after this long at the latest
    int idleMs = 40;      ///< effEditIdle period, as hosts call it
    int cycles = 0;       ///< open/close cycles to run (0: none)
    bool destroyParentFirst = false;
    int idleCpuSeconds = 0; ///< measure the processor time of an idle open editor (0: no)
    int hostScale = 0; ///< percent the host says its editor scale is ('PreS'), 0: it says nothing
    /// Without a check mode the editor stays open for the script until "quit" or `seconds`.
    bool interactive() const { return cycles == 0 && !destroyParentFirst && idleCpuSeconds == 0; }
};

/// Reads the arguments after the program name; throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

enum class Command { Values, Quit };

/// The commands in a command file's text: words separated by white space, in order. Unknown
/// words land in `unknown` and are otherwise skipped.
std::vector<Command> parseCommands(const std::string& text, std::vector<std::string>& unknown);

/// "automate INDEX VALUE", the value as wadling-snapshot prints it (it reads back exactly).
std::string automationLine(int index, float value);

/// "values V0 V1 ..." in the same number format.
std::string valuesLine(const std::vector<float>& values);

/// One line per count that grew from `before` to `after` ("child windows 0 -> 1"); counts the
/// system does not give (-1) are skipped.
std::vector<std::string> leftovers(const host::HostWindow::Resources& before,
                                   const host::HostWindow::Resources& after);

extern const char* const kUsage;

} // namespace editorcheck
