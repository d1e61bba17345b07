// Which file a skin picture's name opens: the bare name first, then the name
// with each picture extension in the program's order. Pure: the caller says
// which names open, so setup.exe (CreateFileW) and skintool (a folder view)
// resolve names with the same rule.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Tried in this order after the bare name: PNG before BMP before JPEG, the
// scrambled form of each before the plain one.
inline constexpr const char* kPictureExtensions[] = {".iep", ".png", ".ieg", ".bmp", ".iej", ".jpg"};

// Names live in buffers of this many bytes, terminator included.
inline constexpr size_t kPictureNameBuffer = 260;

// The first candidate for `name` that `opens`, or "" when none does. A name
// too long to take an extension within the buffer is tried bare only.
std::string ResolvePictureName(const std::string& name, const std::function<bool(const std::string&)>& opens);
