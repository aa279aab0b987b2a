// POSIX entry point: the argument vector is the command line.
#include "app/app.h"

int main(int argc, char** argv) { return CrevikMain(argc, argv); }
