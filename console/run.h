// The console program's run: reading the command line and driving the
// conversion pipeline from the drawing to the NC program, log and page.
#pragma once

struct KxRun;

int ParseOptions(KxRun& run, int argc, char** argv);        // reads every argument into the run-wide names
int KorvexConsoleMain(int argc, char** argv);   // one whole console run; returns the run status
int KorvexConsoleRun(KxRun& run, int argc, char** argv);   // the same on a new run the caller made (its console sink set, say)
void KxWaitKey(KxRun& run);                                // waits for one key press when stdin is a terminal
