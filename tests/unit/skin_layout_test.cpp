// Layout arithmetic that Setup.ini values reach unchecked, and where the
// window opens on the screen.
#include "imaging/skin_layout.h"

#include "app/startup.h"

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

TEST(WindowPlacement, AWindowThatFitsIsCentredAndALargerOneStartsAtTheWorkAreasCorner) {
  const RECT fullScreen = {0, 0, 1024, 768};
  const RECT topBar = {0, 40, 1024, 768};
  const RECT secondMonitor = {1024, 0, 2944, 1040};
  const struct {
    const char* what;
    SIZE screen;
    RECT workArea;
    SIZE window;
    POINT origin;
  } cases[] = {
      {"fits: centred as always", {1024, 768}, fullScreen, {640, 480}, {192, 144}},
      {"odd difference truncates", {1024, 768}, fullScreen, {401, 301}, {311, 233}},
      {"exactly the work area's size", {1024, 768}, fullScreen, {1024, 768}, {0, 0}},
      {"centred on the screen, not the work area", {1024, 768}, topBar, {400, 300}, {312, 234}},
      {"one pixel too wide", {1024, 768}, fullScreen, {1025, 300}, {0, 0}},
      {"taller than the work area only", {1024, 768}, topBar, {1000, 740}, {0, 40}},
      {"larger than the screen", {1024, 768}, topBar, {1920, 1080}, {0, 40}},
      {"another monitor's work area", {1920, 1080}, secondMonitor, {2000, 900}, {1024, 0}},
      {"no work area: the screen", {800, 600}, RECT{}, {1920, 1080}, {0, 0}},
      {"no work area, fits", {800, 600}, RECT{5, 5, 5, 5}, {640, 480}, {80, 60}},
  };
  for (const auto& c : cases) {
    const POINT origin = WindowOrigin(c.screen, c.workArea, c.window);
    EXPECT_EQ(origin.x, c.origin.x) << c.what;
    EXPECT_EQ(origin.y, c.origin.y) << c.what;
  }
}

}  // namespace
