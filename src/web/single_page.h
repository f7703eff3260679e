// The page as one HTML file that opens from disk: browsers refuse module
// imports and fetches from file:// pages, so the style sheet is inlined,
// the script modules are joined into one classic script, and the map
// travels in the page as data.
#pragma once

#include <string>
#include <string_view>

// index.html with the style sheet in a <style> element, the map's data
// `embedded_json` in <script type="application/json" id="relumo-embedded">
// (the caller keeps "<" out of it) and the modules, from main.js down
// through its imports, each in a function of its own that returns its
// exports, in one classic script. Empty when the page's files are not as
// this joining expects (a build that embedded other files).
std::string single_page_html(std::string_view embedded_json);

// The modules' script alone, as single_page_html joins it.
std::string joined_page_script();
