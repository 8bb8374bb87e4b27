// The informational options --help and --version, answered before the
// player starts its servers or looks for a display.
#pragma once
#include <optional>

// When the command line asks for --help or --version (GNU style: anywhere
// among the other options, also abbreviated, not as the value of an option
// and not after "--"), prints the answer on standard output and returns the
// exit status: 0, or 1 when the answer could not be written. Otherwise
// returns nothing and the player starts.
std::optional<int> answerInfoOption(int argc, char** argv);
