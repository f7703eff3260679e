// The viewer's diffuse-gain view: the loaded map rewritten with the gain of
// the Amp slider into display_ptm, which the views then show.
#pragma once

// display_ptm (created sharing the loaded map's colour on first use)
// becomes the rewrite of current_ptm with viewer.diffuse_gain, unzoomed.
void ptm_transform();
