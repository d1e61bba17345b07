// The scrambled picture forms setup.exe reads: .ieg (a BMP whose bytes before
// the pixel data are XOR-ed with 0xA5), .iep (a whole PNG XOR-ed) and .iej (a
// whole JPEG XOR-ed). Pure byte work: names and bytes in, names and bytes out.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace skintool {

enum class PictureKind { kBmp, kPng, kJpeg };

// The opening bytes of each picture form, as the plain file holds them.
inline const std::initializer_list<uint8_t> kBmpMagic = {'B', 'M'};
inline const std::initializer_list<uint8_t> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
inline const std::initializer_list<uint8_t> kJpegMagic = {0xFF, 0xD8};

// Whether bytes open with magic, or with magic XOR-ed with the scramble byte.
bool StartsWith(const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> magic, bool xored);

// The name a file gets in the other form (".bmp" <-> ".ieg", ".png" <->
// ".iep", ".jpg" <-> ".iej", extension matched without case, the new one
// written in lower case), or "" with `error` set when the extension is not
// one the direction takes.
std::string ConvertedName(const std::string& name, bool scramble, PictureKind& kind, std::string& error);

// Scrambles plain bytes (scramble) or unscrambles scrambled ones. False, with
// `error` set, when the bytes are not what the name says (a scrambled file
// scrambled again, a PNG named .bmp ...). Round trips are byte-exact. An .iej
// that holds a plain JPEG (setup.exe takes those too) is handed back as it is.
bool ConvertPicture(const std::vector<uint8_t>& in, PictureKind kind, bool scramble, std::vector<uint8_t>& out,
                    std::string& error);

}  // namespace skintool
