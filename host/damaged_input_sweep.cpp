// Damaged pictures: every truncation and many single-byte changes of valid
// BMP, PNG and JPEG files, plain and scrambled, through the decoders under the
// sanitizers. Each must be refused or decoded whole, as the fuzz targets check.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "contract_checks.h"
#include "tests/unit/picture_files.h"

namespace {

using Check = std::function<std::string(const Bytes&, DecodeStatus*)>;

const char* Name(DecodeStatus status) {
  static const char* names[] = {"ok", "not 24-bit", "colour type", "damaged"};
  return names[static_cast<int>(status)];
}

struct Tally {
  std::map<DecodeStatus, int> byStatus;
  int total = 0;
  std::string Summary() const {
    std::string s = std::to_string(total) + ":";
    for (const auto& [status, n] : byStatus) s += std::string(" ") + Name(status) + " " + std::to_string(n);
    return s;
  }
};

// Truncations at every length below the whole file. `mustRefuseBelow`: the
// lengths under it cut into what the decoder has to read.
void SweepTruncations(const char* name, const Bytes& file, const Check& check,
                      size_t mustRefuseBelow, Tally& tally) {
  for (size_t length = 0; length < file.size(); ++length) {
    const Bytes cut(file.begin(), file.begin() + length);
    DecodeStatus status = DecodeStatus::kOk;
    ASSERT_EQ(check(cut, &status), "") << name << " cut to " << length;
    if (length < mustRefuseBelow) {
      EXPECT_NE(status, DecodeStatus::kOk) << name << " cut to " << length;
    }
    ++tally.byStatus[status];
    ++tally.total;
  }
}

// Every byte changed in four ways: low bit, high bit, set to 00, set to FF.
void SweepByteChanges(const char* name, const Bytes& file, const Check& check, Tally& tally) {
  for (size_t at = 0; at < file.size(); ++at) {
    for (int change = 0; change < 4; ++change) {
      Bytes changed = file;
      uint8_t& b = changed[at];
      b = change == 0 ? b ^ 0x01 : change == 1 ? b ^ 0x80 : change == 2 ? 0x00 : 0xFF;
      if (b == file[at]) continue;
      DecodeStatus status = DecodeStatus::kOk;
      ASSERT_EQ(check(changed, &status), "") << name << " byte " << at << " change " << change;
      ++tally.byStatus[status];
      ++tally.total;
    }
  }
}

void Sweep(const char* name, const Bytes& file, const Check& check, size_t mustRefuseBelow) {
  DecodeStatus whole = DecodeStatus::kDamaged;
  ASSERT_EQ(check(file, &whole), "") << name;
  Tally cuts, changes;
  SweepTruncations(name, file, check, mustRefuseBelow, cuts);
  SweepByteChanges(name, file, check, changes);
  std::printf("  %-20s %4zu bytes, %s; cuts %s; changed bytes %s\n", name, file.size(),
              Name(whole), cuts.Summary().c_str(), changes.Summary().c_str());
}

Check Bmp(bool scrambled) {
  return [scrambled](const Bytes& b, DecodeStatus* s) {
    return CheckBmpInput(b.data(), b.size(), scrambled, s);
  };
}
Check Png(bool scrambled) {
  return [scrambled](const Bytes& b, DecodeStatus* s) {
    return CheckPngInput(b.data(), b.size(), scrambled, s);
  };
}
Check Jpeg() {
  return [](const Bytes& b, DecodeStatus* s) { return CheckJpegInput(b.data(), b.size(), s); };
}

// Where the last IDAT chunk's data ends in a plain PNG: the decoder reads no
// further than that (and its checksum) for the pixels.
size_t EndOfPixelData(const Bytes& png) {
  size_t at = 8, end = 0;
  while (at + 8 <= png.size()) {
    const size_t length = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT") end = at + 8 + length;
    at += 12 + length;
  }
  return end;
}

TEST(DamagedInputSweep, Bmp) {
  const Bytes bottomUp = MakeBmp(Gradient(5, 3));
  const Bytes topDown = MakeBmp(Gradient(4, 4), /*topDown=*/true);
  Sweep("bmp 5x3", bottomUp, Bmp(false), bottomUp.size());
  Sweep("bmp 4x4 top-down", topDown, Bmp(false), topDown.size());
  Sweep("ieg 5x3", ScrambleBmp(bottomUp), Bmp(true), bottomUp.size());
  Sweep("ieg 4x4 top-down", ScrambleBmp(topDown), Bmp(true), topDown.size());
  Sweep("bmp 8-bit", MakeBmpOfDepth(4, 4, 8), Bmp(false), 0);
}

TEST(DamagedInputSweep, Png) {
  const Bytes rgb = MakePng(Gradient(5, 4));
  const Bytes rgba16 = MakePng(Gradient(3, 3), 6, 16);
  const Bytes interlaced = MakePng(Gradient(9, 7), 2, 8, /*interlaced=*/true);
  Sweep("png rgb 5x4", rgb, Png(false), EndOfPixelData(rgb));
  Sweep("png rgba16 3x3", rgba16, Png(false), EndOfPixelData(rgba16));
  Sweep("png interlaced 9x7", interlaced, Png(false), EndOfPixelData(interlaced));
  Sweep("iep rgb 5x4", ScrambleAll(rgb), Png(true), EndOfPixelData(rgb));
  Sweep("iep interlaced 9x7", ScrambleAll(interlaced), Png(true), EndOfPixelData(interlaced));
  Sweep("png palette", MakePalettePng(5, 4), Png(false), 0);
}

// libjpeg completes a stream cut inside its scan data (the rest comes out
// flat), so only cuts before that are sure to be refused; the promises hold
// for all of them.
TEST(DamagedInputSweep, Jpeg) {
  const Bytes colour = MakeJpeg(Gradient(6, 4));
  const Bytes grey = MakeJpeg(Gradient(5, 5), /*grey=*/true);
  Sweep("jpg 6x4", colour, Jpeg(), 0);
  Sweep("jpg grey 5x5", grey, Jpeg(), 0);
  Sweep("iej 6x4", ScrambleAll(colour), Jpeg(), 0);
  Sweep("jpg cmyk", MakeJpeg(Gradient(3, 3), false, /*cmyk=*/true), Jpeg(), 0);
}

}  // namespace
