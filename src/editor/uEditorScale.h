#pragma once
// Which density the editor is drawn at. The user's choice in the Zoom menu wins; else the host's
// word ('PreS' / 'AeCs' through effVendorSpecific); else the system's (X11's Xft.dpi, the
// Windows monitor's DPI); else 100 %. An asked scale is drawn at the nearest density at or below
// it, so the window is never larger than asked. The choice is one small file in the user's
// settings folder beside the MIDI map's copy, shared by every instance of every host.

#include <string>

namespace editorscale {

/// The menu's "Automatic": no choice of the user's.
inline constexpr int kAutomatic = 0;

/// The density for the user's choice (a density of editorart::kScales, anything else counting
/// as kAutomatic), the host's factor and the system's (1 = 100 %; not finite or not above 0:
/// none said).
int choose(int userChoice, double hostFactor, double systemFactor);

/// The file of the choice inside `settingsFolder` (empty when that is unknown).
std::string choiceFile(const std::string& settingsFolder);

/// The choice the file holds; kAutomatic when it is missing, unreadable or damaged.
int readChoice(const std::string& path);

/// Replaces the file with `choice` (kAutomatic or a density), making its folder when needed;
/// false when the folder or the file refuses, or for any other value.
bool writeChoice(const std::string& path, int choice);

} // namespace editorscale
