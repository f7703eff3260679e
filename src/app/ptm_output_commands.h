// The console commands that write PTM files: menu entry 6 ("Output Cropped
// Ptm File") and the 'p' and 'c' keys (palettized maps). Each is installed
// as the idle function by run_console_command, asks for the output name on
// the console, writes the file beside the input, and brings the main
// window back whatever happened.
#pragma once

// The selected region of the loaded map as a PTM file of its own format.
void write_cropped_ptm();

// The loaded LRGB map clustered into a 256-entry table of its six
// coefficients (PTM_LUT file).
void palettize_ptm();

// The same with the colour in the table (PTM_C_LUT file).
void palettize_ptm_color();
