// Keys 'e' and 'E': the entropy sweep in the viewer's windows.
#pragma once

// Relights the view for each light of the 21 x 21 grid, by that light
// alone whichever lights the user has on, showing every relit picture in
// the main window (never a source photograph in its place) and the plot
// beside it, while the pictures and the table of their entropies are
// written beside the map. Afterwards the user's lights and view are as
// they were.
void run_entropy_sweep();
