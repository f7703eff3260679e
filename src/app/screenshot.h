// The 't' key: the whole map at full size, every enabled light summed, saved
// as the next free screenshotNNN.tga beside the input file.
#pragma once

void take_screenshot();
