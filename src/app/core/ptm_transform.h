// The viewer's diffuse-gain view: the loaded map rewritten with the gain of
// the Amp slider into display_ptm, which the views then show.
#pragma once

// display_ptm (created sharing the loaded map's colour when there is none,
// or when it is a zoomed map of the view's size) becomes the rewrite of
// current_ptm with viewer.diffuse_gain, unzoomed.
void ptm_transform();
