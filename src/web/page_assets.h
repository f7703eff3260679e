// The files of the web page (web/ in the source tree: the HTML, its style
// sheet and its script modules), built into the program so that it
// publishes the same page from wherever it runs.
#pragma once

#include <cstddef>
#include <string_view>

struct PageAsset {
  const char* name;  // its file name under web/
  const unsigned char* bytes;
  std::size_t size;
};

extern const PageAsset page_assets[];
extern const std::size_t page_asset_count;

// The content of the page file `name`; empty when there is none.
std::string_view page_asset(std::string_view name);
