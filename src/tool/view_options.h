// The options that say how a map is relit, shared by render, sheet and
// video, and the view text that records them in a picture so that
// `render --from` can remake it.
#pragma once

#include <string>
#include <vector>

#include "render/relit_picture.h"
#include "tool/arguments.h"
#include "tool/picture_options.h"

// The largest side of a picture, a panel or a frame.
inline constexpr int max_picture_side = 1 << 16;

// --mode, --kd, --ks, --exp and --gain into `settings`; true when `option`
// was one of them, and then added to `given`. Values out of their range
// are usage errors.
bool mode_option(ArgumentList& arguments, const char* option, RelitSettings& settings,
                 std::vector<std::string>& given);

// An option given for a mode other than the chosen one would change
// nothing: a usage error, so that a script that means it hears of it
// (--kd, --ks, --exp without specular, --gain without gain, --light with
// normals).
void check_mode_options_apply(const std::vector<std::string>& given, RelitMode mode);

// "U,V[,I]": a light at the projected direction (U, V), |U|, |V| <= 3,
// with intensity I (0..255, default 1).
RelitLight parse_light(const char* text);

// What render's options amount to: the lights, the mode, the size and the
// scale.
struct RenderView {
  RelitSettings settings;
  ScaleOptions scale;
};

// Collects render's view options as they come.
struct RenderViewParser {
  RenderView view;
  std::vector<RelitLight> lights;  // replace the default light when any is given
  bool any = false;                // whether any view option was given
  std::vector<std::string> given;  // the mode options and --light, as given

  RenderViewParser();
  // --light, --size, the mode options and the scale options; true when
  // `option` was one of them.
  bool option(ArgumentList& arguments, const char* option);
  // The view after the last option; a usage error for options the mode
  // has no use for.
  RenderView finish();
};

// The render options that remake a picture of `width` x `height`: every
// light with its intensity, the mode with the parameters it uses, the
// size, and the scale when known ("--light 0.3,0.4,1 --mode specular --kd
// 0.4 --ks 1 --exp 60 --size 640x480"). Numbers are written so that they
// read back as the same floats.
std::string render_view_text(const RenderView& view, int width, int height);

// The view of such a text (words separated by spaces, render's view options
// only: --light, --mode, --kd, --ks, --exp, --gain, --size, --ppmm, --dpi,
// --scale-bar). A usage error for anything else.
RenderView parse_render_view(const std::string& text);
