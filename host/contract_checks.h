// What the pure code promises for any input, checked on one input at a time.
// Shared by the fuzz targets (which abort on a broken promise) and the host
// unit tests (which report it). Each check returns "" when every promise
// held, or a description of the first one broken. Memory errors and
// undefined behaviour are the sanitizers' to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture_decoders.h"

// SetupIni::LoadFrom over the bytes: the store holds exactly what a plain
// re-reading of the rules gives (the encoding, slots cut at whole characters,
// nothing past a slot, entries that are no text refused), every text is terminated, lookups agree with the slots, and
// NumberOf / DecimalValue agree with strtol clamped to int.
std::string CheckSetupIniInput(const uint8_t* data, size_t size);

// One decode each. A refused picture leaves `out` untouched (except the PNG
// colour-type refusal, which gives the size only); an accepted one has an
// allowed size and exactly PictureStride(width) * height bytes. The plain and
// scrambled forms of the same file decode to the same result. `status`, when
// given, receives the status of the decode of the bytes as given.
std::string CheckBmpInput(const uint8_t* data, size_t size, bool scrambled,
                          DecodeStatus* status = nullptr);
std::string CheckPngInput(const uint8_t* data, size_t size, bool scrambled,
                          DecodeStatus* status = nullptr);
// Streams that start FF D8 or 5A 7D are also decoded in the other form.
std::string CheckJpegInput(const uint8_t* data, size_t size, DecodeStatus* status = nullptr);

// ForEachBlackRun over a picture: every run is inside the picture, one pixel
// high, maximal and disjoint from the others, and together the runs cover
// exactly the pure-black pixels. `runs`, when given, receives their number.
std::string CheckBlackRuns(const uint8_t* bits, int32_t width, int32_t height, int64_t stride,
                           size_t* runs = nullptr);

// The fuzz targets' reading of an input as a picture for CheckBlackRuns:
// bytes 0-1 and 2-3 (little-endian, modulo 64) give width and height, and
// each later byte one pixel (below 0x80 black; otherwise each channel is the
// byte or, where bit 0/1/2 is set, zero), repeated when the input is short.
// The buffer ends right after the last pixel of the top row, so a read past
// the picture reaches outside the allocation; the other rows' padding is
// black, so a scan into it shows as a run past the width.
struct FuzzPicture {
  int32_t width = 0;
  int32_t height = 0;
  int64_t stride = 0;
  uint8_t* bits = nullptr;  // owned; stride * (height - 1) + 3 * width bytes
  FuzzPicture(const uint8_t* data, size_t size);
  ~FuzzPicture();
  FuzzPicture(const FuzzPicture&) = delete;
  FuzzPicture& operator=(const FuzzPicture&) = delete;
};

// The fuzz targets' end on a broken promise: the message, then abort().
void FailIfBroken(const std::string& problem, const char* target);
