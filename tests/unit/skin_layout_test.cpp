// Layout arithmetic that Setup.ini values reach unchecked.
#include "imaging/skin_layout.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(SkinLayout, ASpanEndIsHeldAtTheEndsOfTheRangeInsteadOfWrapping) {
  const struct {
    int32_t start, extent, end;
  } cases[] = {
      {10, 380, 390},
      {1, INT32_MAX, INT32_MAX},
      {INT32_MAX, INT32_MAX, INT32_MAX},
      {-5, INT32_MIN, INT32_MIN},
      {INT32_MIN, -1, INT32_MIN},
      {-10, 4, -6},
  };
  for (const auto& c : cases) EXPECT_EQ(SpanEnd(c.start, c.extent), c.end) << c.start << " + " << c.extent;
}

}  // namespace
