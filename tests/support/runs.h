// Test support for whole conversions: the console program run in a program
// folder of its own with the shipped device files, the device record the shipped
// syntax gives, and the corpus drawings with their SOURCES.md figures.
#pragma once

#include <string>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"

// What one console run left behind.
struct Conversion {
  int status = -1;
  std::string output, program, page, log;
  std::vector<std::string> opened;   // file names (no folder) the run asked to open, in order (ConvertHere only)
  std::vector<KxContour> contours;   // what the analysis and the writer found of each contour, by number (ConvertHere only; the desktop flavour takes the result's)
  std::vector<elementdaten> records; // the element table as the run left it (ConvertHere only)
};

// Converts a drawing file (or, with ConvertText, a drawing text) with korvex.ini
// "LayerName: '<layer>'", "AddDataInfo: 1", "OpenDataFile: 0" and the extra lines.
Conversion ConvertFile(const std::string& drawing, const std::string& layer, const std::string& extraIni = "");
Conversion ConvertText(const std::string& dxf, const std::string& extraIni = "", const std::string& layer = "DXF_MAIN");
// The same conversion of a drawing text in this process, through the console program's entry, so that
// what a test hooks into the core (the opener) is used; flavour 1 converts as the desktop program does.
Conversion ConvertHere(const std::string& dxf, const std::string& extraIni = "", int flavour = 0,
                       const std::string& name = "part.dxf");

// The device record the shipped MAK_EE3.SYN gives (leaves a fresh core behind).
devSyntax ShippedDevice();

// One row of the corpus's SOURCES.md table.
struct CorpusDrawing {
  std::string name, path, layer;   // layer: the most used one, first of "Layers (top)"
  int version = 0;                 // $ACADVER number, 0 where the table says "-"
};
std::vector<CorpusDrawing> CorpusDrawings();

// How often part occurs in text.
size_t CountOf(const std::string& text, const std::string& part);
