#include "app/core/display_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Buffering option(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  return buffering_option(static_cast<int>(argv.size()), argv.data());
}

TEST(BufferingOption, DIsLookedForInBothArgumentsBeforeS) {
  EXPECT_EQ(option({"relumo", "-d", "a.ptm"}), Buffering::double_buffered);
  EXPECT_EQ(option({"relumo", "a.ptm", "-s"}), Buffering::single_buffered);
  EXPECT_EQ(option({"relumo", "-ds", "a.ptm"}), Buffering::double_buffered);
  EXPECT_EQ(option({"relumo", "-s", "-d"}), Buffering::double_buffered);
  EXPECT_EQ(option({"relumo", "-x", "a.ptm"}), Buffering::by_renderer);
  EXPECT_EQ(option({"relumo", "ds.ptm"}), Buffering::by_renderer);  // no leading '-'
}

TEST(RendererList, ThreeExactNamesAndEveryGeForce) {
  EXPECT_TRUE(renderer_wants_double_buffering("RAGE PRO"));
  EXPECT_TRUE(renderer_wants_double_buffering("GDI Generic"));
  EXPECT_TRUE(renderer_wants_double_buffering("ELSA GLADIAC/AGP/SSE"));
  EXPECT_TRUE(renderer_wants_double_buffering("NVIDIA GeForce RTX 4090/PCIe/SSE2"));
  EXPECT_FALSE(renderer_wants_double_buffering("RAGE PRO "));
  EXPECT_FALSE(renderer_wants_double_buffering("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_FALSE(renderer_wants_double_buffering(nullptr));
}

}  // namespace
