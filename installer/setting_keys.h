// The numbered Setup.ini keys: five of each kind, "CreateDirectory0" to
// "CreateDirectory4" and the like. NumberedKey forms their names, in one place.
//   for (int i = 0; i < kNumberedKeys; ++i) Use(NumberedKey("CreateDirectory", i));
#pragma once

#include <cstdio>

constexpr int kNumberedKeys = 5;  // indexes 0 to 4

class NumberedKey {
 public:
  NumberedKey(const char* stem, int index) { std::snprintf(text_, sizeof text_, "%s%d", stem, index); }
  operator const char*() const { return text_; }

 private:
  char text_[48];
};
