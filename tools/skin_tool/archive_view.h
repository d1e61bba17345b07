// What check and preview read: a setup folder on disk, or the archive that a
// packed setup.exe carries (common/packed_layout.h), seen as the same folder:
// Setup.ini, ui\ and data\ read through the archive, names compared as
// setup.exe compares them in its archive (SkinArchive::Find). Packed files are
// read on Windows only; elsewhere a file is never a skin.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "tools/skin_tool/folder_view.h"

namespace skintool {

struct SkinSource {
  enum class Kind {
    kFolder,   // a folder on disk
    kPacked,   // a packed setup.exe whose archive holds
    kDamaged,  // a packed setup.exe whose archive is damaged or altered
    kNoSkin,   // neither: missing, or a file that carries no archive
  };
  Kind kind = Kind::kNoSkin;
  std::unique_ptr<FolderView> view;  // kFolder and kPacked
  size_t files = 0;                  // kPacked: the files in the archive
};

SkinSource OpenSkinSource(const std::string& path);

}  // namespace skintool
