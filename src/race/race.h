// The race report. The statistics themselves are OrvexLog's CalcRaceInfo and
// its accessors (log/orvex_log.h).
#ifndef CREVIK_RACE_H
#define CREVIK_RACE_H

// Writes the report named by GENERAL/MESSAGE into the release directory.
void MakeMessageFile();

#endif
