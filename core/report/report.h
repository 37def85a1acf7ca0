// Reports of a run: the HTML statistics page, opening files for the user, and
// the one reset that brings the whole core back to a fresh process's state.
#pragma once

void SaveStatistic();            // writes the statistics page into the program folder

void ResetAllState();            // restores every subsystem's globals to their initial values (tests, fuzzing)
