#pragma once
// The bundle's turtle files, written from the plug-in's own tables (names, defaults, display
// texts, programs) so that nothing the plug-in defines is written a second time by hand.

#include <array>
#include <string>
#include <string_view>

#include "plugin/uPlugin.h"

namespace lv2glue {

/// Port symbol of a parameter name: lower case, every run of other characters one underscore.
std::string symbolFor(std::string_view name);
/// The twelve control port symbols; a name that several parameters share gets the parameter's
/// index appended on each of them.
std::array<std::string, APlugin::kNumParams> controlSymbols(APlugin& plugin);

/// A number as turtle reads a decimal: the shortest text that reads back as the same float, and
/// always with a decimal point (hosts skip preset values written as integers).
std::string decimal(float value);

struct TurtleFiles {
    std::string manifest;
    std::string plugin;
    std::string presets;
};

/// The three files for a bundle whose library file is `binaryName`. `plugin` is changed: the
/// programs are selected in turn to read their values.
TurtleFiles writeTurtle(APlugin& plugin, std::string_view binaryName, int minorVersion,
                        int microVersion);

} // namespace lv2glue
