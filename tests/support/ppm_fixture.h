// Small PPM files for the image-file tests and the PPM fuzz corpus. The
// bytes are written out literally, never by the code under test.
#pragma once

#include <string>

#include "support/files.h"

// Writes a few small valid PPM files (binary P6 and ASCII P3, with comment
// lines) into `directory`, which must exist.
void write_ppm_seed_corpus(const std::string& directory);
