#include "imaging/picture_names.h"

std::string ResolvePictureName(const std::string& name, const std::function<bool(const std::string&)>& opens) {
  if (opens(name)) return name;
  if (name.size() + 4 >= kPictureNameBuffer) return "";
  for (const char* extension : kPictureExtensions) {
    const std::string candidate = name + extension;
    if (opens(candidate)) return candidate;
  }
  return "";
}
