// The window's picture in memory: the opaque block copies that setup.exe makes
// between its Surfaces, done on decoded pictures (same layout, no Win32), and
// the window's shape turned into an alpha channel. skintool preview draws with
// these what the layout (imaging/skin_layout.h) says the window shows.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/picture_decoders.h"

// A picture of the given size with every byte 0, as a new Surface's plane
// starts; 0 x 0 when the size is one a Surface refuses.
DecodedPicture BlankPicture(int32_t width, int32_t height);

// Copies source's top-left `width` x `height` block to (x, y) of target, the
// way an SRCCOPY block copy does: opaque, clipped to both pictures.
void CopyBlock(DecodedPicture& target, int32_t x, int32_t y, const DecodedPicture& source, int32_t width,
               int32_t height);

// The screen as RGBA rows, top row first: every pixel that the window's shape
// (the black runs of `shape`, imaging/black_runs.h) leaves out has alpha 0,
// every other pixel alpha 255. screen and shape have the same size.
std::vector<uint8_t> ShapedRgba(const DecodedPicture& screen, const DecodedPicture& shape);
