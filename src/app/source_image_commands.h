// The menu commands of the source photographs: comparing them with the
// map, and writing them out as a colour volume.
#pragma once

// "Source Image Errors": switches the comparison off, or loads the
// photographs (unless loaded) and switches it on with the photograph shown;
// a failed load leaves it off and the next choice tries again. Rewrites
// the entry's label and redisplays both windows.
void toggle_source_errors();

// "Output Source Images as Volume": loads the photographs unless loaded,
// then writes them beside the map as <map>.r.vox, .g.vox, .b.vox and
// <map>.des; nothing further when they cannot be loaded.
void output_source_volume();
