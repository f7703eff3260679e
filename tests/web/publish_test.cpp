#include "web/publish.h"

#include <gtest/gtest.h>

#include "support/files.h"

namespace {

TEST(PublishWebPage, AMapLargerThanAPageHoldsIsRefusedBeforeAnyWork) {
  ScratchDirectory scratch("web_page_limit");
  // 4097 x 2048 is 8390656 pixels, 2048 more than a page holds; the map's
  // arrays are never read.
  OwnedPtm map(create_ptm(4097, 2048, PTM_FORMAT_LRGB));
  const std::string path = scratch.file("big.html");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(publish_web_page(*map, WebPublishOptions{}, path.c_str()));
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("at most 8388608 pixels"), std::string::npos) << message;
  EXPECT_NE(message.find("8390656 (4097 x 2048)"), std::string::npos) << message;
  EXPECT_NE(message.find("publish it to a folder"), std::string::npos) << message;
  EXPECT_TRUE(file_names_in(scratch.path).empty());
}

}  // namespace
