// The arguments of `relumo-tool web`.
#pragma once

#include <string>

#include "tool/arguments.h"
#include "web/publish.h"

struct WebOptions {
  std::string map;
  std::string output;
  bool single_page = false;   // -o names a .html file
  WebPublishOptions publish;  // threads, title and progress are set by the command
};

// Parses web's arguments. A usage error (UsageError) for an unknown option,
// a missing or second map, no -o, the output naming the input or a folder
// that holds it, --quality
// without --tiles jpeg, --iiif-base for a single page or not an http(s)
// URL, an odd tile size or one outside 64..2046, a light outside
// |u|, |v| <= 3, a mode the page does not show, and any value out of its
// range.
WebOptions parse_web_arguments(ArgumentList& arguments);
