#include "web/page_assets.h"

std::string_view page_asset(std::string_view name) {
  for (std::size_t i = 0; i < page_asset_count; ++i) {
    if (name == page_assets[i].name) {
      return {reinterpret_cast<const char*>(page_assets[i].bytes), page_assets[i].size};
    }
  }
  return {};
}
