// Surface: a 24-bit picture in a DIB section kept selected into its own memory
// device context, with the place (left, top) where it is drawn. Rows are
// bottom-up, blue-green-red, each padded to 4 bytes. Loaders write `bits`
// directly; drawing is always an opaque SRCCOPY block copy.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/pixel_layout.h"

class Surface {
 public:
  HWND window;  // owner: reference device and owner of the loaders' messages; may be null
  int32_t top;
  int32_t left;
  int32_t width;
  int32_t height;
  void* bits;  // pixel memory of the DIB section, or null when there is no plane
  HDC dc;
  HBITMAP bitmap;
  HGLOBAL infoBlock;  // 40-byte header followed by 256 colour entries
  BITMAPINFOHEADER* header;
  RGBQUAD* colors;

  Surface(HWND window, int32_t width, int32_t height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // A new size re-creates the plane with unwritten pixels; the same size keeps it.
  void Resize(int32_t width, int32_t height);
  // Copies the whole picture into the owner window at (left, top).
  void BlitToWindow() const;
  // Takes the source's size and picture; left, top and window stay.
  void CopyFrom(const Surface& source);
  // Draws the source at its own (left, top); GDI clips what falls outside.
  void Overlay(const Surface& source);
  // Sets every pixel to one colour.
  void Fill(uint8_t red, uint8_t green, uint8_t blue);

  // Loads the picture file named (without extension) in the 260-byte buffer;
  // the buffer receives the resolved name. False when the picture could not be
  // loaded (its message has been shown): the pixels are then not the picture's.
  bool Load(char* name);
  // Finds the picture file for name: 0 found (name completed), 1 not found.
  static uint8_t ResolveImageName(char* name);

 private:
  void MakePlane();
  void ReleasePlane();
};
