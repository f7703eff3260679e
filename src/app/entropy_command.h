// Keys 'e' and 'E': the entropy sweep in the viewer's windows.
#pragma once

// Relights the view for each light of the 21 x 21 grid, showing every
// picture in the main window and the plot beside it, while the pictures
// and the table of their entropies are written beside the map. The
// current light is left at the grid's last point, (1, 1).
void run_entropy_sweep();
