// Operator commands: words a person (or a server's SITE command) runs. Unlike
// the event words they print what they did and exit 0, 1 or 2.
#ifndef CREVIK_COMMANDS_H
#define CREVIK_COMMANDS_H

constexpr int kExitOk = 0;       // everything checked is good
constexpr int kExitFound = 1;    // something bad or missing was found
constexpr int kExitTrouble = 2;  // something could not be done

// True when word 1 names an operator command (any letter case); *status is
// then its exit status. Event words and anything else return false.
bool RunOperatorCommand(int argc, const char* const* argv, int* status);

#endif
