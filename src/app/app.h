// The program: one dispatch table of every word, events and operator
// commands alike, each with what it needs before it runs.
#ifndef CREVIK_APP_H
#define CREVIK_APP_H

// Runs the command line (word 0 the program); returns the exit status:
// always 0 for an event, 0, 1 or 2 for an operator command.
int CrevikMain(int argc, const char* const* argv);

#endif
