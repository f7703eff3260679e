// The menu's normal-image and depth commands.
#pragma once

// "Output Normal Vector Image": a console command routine (installed as the
// idle function) that asks for a PPM name and writes the normal image
// beside the input.
void write_normal_image();

// "Output Depth Values": runs in the menu callback with the wait cursor;
// the normal image, the depth image and the mesh go to the working
// directory under their fixed names, the camera file is read beside the
// input.
void output_depth();
