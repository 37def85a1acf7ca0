// Runs the DXF passes in-process the way the console run does: the drawing is
// reopened before every pass, and the reserved records precede the entities;
// shows the records they leave as text and chains them into contours.
#pragma once

#include <map>
#include <string>

// Closes i_stream and opens path for reading; false when it cannot be opened.
bool OpenDrawing(const std::string& path);

// Version pass, layer pass and entity pass over the file at path (the main layer
// is added first when the layer list is still empty, as the settings step does).
// The two closing records are not added. False when the file cannot be opened.
bool RunDxfPasses(const std::string& path);

// Runs the three passes over text in a fresh core; returns what they printed.
std::string PassText(const std::string& text);

// How many drawing records (from index 7) are of the given type.
long RecordsOfType(int type);

// Every drawing record (from index 7) as text, one a line: type letter, start, end, centre, radius,
// angles (four decimals), text.
std::string RecordsText();

// Runs the three passes over text in a fresh core with an open log; returns the log (and what they printed).
std::string PassLog(const std::string& text, std::string* console = nullptr);

// Closing records, structure check and chaining of what was read; the length of every contour, by name.
std::map<std::string, double> ContourLengths();
