// The program's version, from the build's one place for it (the CMake
// project version), for the pictures' Software note and --version.
#pragma once

// "0.3.0", for example.
const char* relumo_version();
