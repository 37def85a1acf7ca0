// Shared ground of the fuzz targets: a private program folder per process and
// a fresh core before every input, with console output swallowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct KxRun;
const std::string& FuzzStart();   // a new run with a quiet console; gives the folder ending with "/"
KxRun& FuzzRun();                 // the run FuzzStart made
void FuzzWrite(const std::string& path, const uint8_t* data, size_t size);  // writes bytes to a file
