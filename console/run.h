// The console program's run: reading the command line and driving the
// conversion pipeline from the drawing to the NC program, log and page.
#pragma once

int ParseOptions(int argc, char** argv);        // reads every argument into the run-wide names
int KorvexConsoleMain(int argc, char** argv);   // one whole console run; returns the run status
void KxWaitKey();                                // waits for one key press when stdin is a terminal
