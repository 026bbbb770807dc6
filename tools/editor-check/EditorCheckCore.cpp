#include "EditorCheckCore.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace editorcheck {

const char* const kUsage =
    "usage: editor-check PLUGIN [options]\n"
    "Opens the editor of the plug-in binary PLUGIN in a window of its own and calls effEditIdle\n"
    "as a host does. Prints READY <screen x> <screen y> <width> <height> once the editor shows,\n"
    "then each automation report as 'automate INDEX VALUE'.\n"
    "  --program N            choose the program N before the editor opens\n"
    "  --commands FOLDER      read commands from FOLDER/command when it appears (then deleted):\n"
    "                         'values' prints the twelve values and the program, 'quit' closes\n"
    "  --seconds S            close after S seconds at the latest (default 120)\n"
    "  --idle-ms MS           effEditIdle period (default 40)\n"
    "checks instead of the interactive window (combinable, run in this order):\n"
    "  --cycles N             open and close the editor N times, report what is left\n"
    "  --destroy-parent-first destroy the host's window before effEditClose\n"
    "  --idle-cpu S           processor time of the open editor left alone for S seconds\n"
    "  --host-scale PERCENT   say the host's editor scale ('PreS') before the editor opens\n";

namespace {

int number(const std::vector<std::string>& args, std::size_t& i, int lowest, int highest) {
    if (i + 1 >= args.size()) throw UsageError(args[i] + " wants a number");
    const std::string& text = args[++i];
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < lowest || value > highest)
        throw UsageError(args[i - 1] + " wants a whole number from " + std::to_string(lowest) +
                         " to " + std::to_string(highest) + ", not \"" + text + "\"");
    return static_cast<int>(value);
}

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--program") {
            o.program = number(args, i, 0, 100000);
        } else if (a == "--commands") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw UsageError("--commands wants a folder");
            o.commands = args[++i];
        } else if (a == "--seconds") {
            o.seconds = number(args, i, 1, 24 * 3600);
        } else if (a == "--idle-ms") {
            o.idleMs = number(args, i, 1, 1000);
        } else if (a == "--cycles") {
            o.cycles = number(args, i, 1, 100000);
        } else if (a == "--destroy-parent-first") {
            o.destroyParentFirst = true;
        } else if (a == "--idle-cpu") {
            o.idleCpuSeconds = number(args, i, 1, 3600);
        } else if (a == "--host-scale") {
            o.hostScale = number(args, i, 100, 400);
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else if (o.plugin.empty()) {
            o.plugin = a;
        } else {
            throw UsageError("one plug-in at a time: " + a);
        }
    }
    if (o.plugin.empty()) throw UsageError("the plug-in binary is missing");
    return o;
}

std::vector<Command> parseCommands(const std::string& text, std::vector<std::string>& unknown) {
    std::vector<Command> commands;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (word == "values")
            commands.push_back(Command::Values);
        else if (word == "quit")
            commands.push_back(Command::Quit);
        else
            unknown.push_back(word);
    }
    return commands;
}

// Lines are built by appending: GCC 12 (MinGW i686) warns falsely (-Wrestrict) on chains of +.
std::string automationLine(int index, float value) {
    std::string line = "automate ";
    line += std::to_string(index);
    line += ' ';
    line += number(value);
    return line;
}

std::string valuesLine(const std::vector<float>& values) {
    std::string line = "values";
    for (const float v : values) {
        line += ' ';
        line += number(v);
    }
    return line;
}

std::vector<std::string> leftovers(const host::HostWindow::Resources& before,
                                   const host::HostWindow::Resources& after) {
    std::vector<std::string> grown;
    const auto compare = [&grown](const char* what, long a, long b) {
        if (a < 0 || b < 0 || b <= a) return;
        std::string line = what;
        line += ' ';
        line += std::to_string(a);
        line += " -> ";
        line += std::to_string(b);
        grown.push_back(line);
    };
    compare("child windows", before.childWindows, after.childWindows);
    compare("handles", before.systemHandles, after.systemHandles);
    compare("GDI objects", before.drawingObjects, after.drawingObjects);
    compare("USER objects", before.interfaceObjects, after.interfaceObjects);
    return grown;
}

} // namespace editorcheck
