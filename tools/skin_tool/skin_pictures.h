// Reading a skin's pictures through a FolderView as setup.exe reads them
// (its name resolution and decoders), with a finding for every picture it
// would refuse or never read. Shared by the checker and the preview.
#pragma once

#include <string>
#include <vector>

#include "imaging/picture_decoders.h"
#include "tools/skin_tool/folder_view.h"
#include "tools/skin_tool/skin_check.h"

namespace skintool {

struct SkinPictureFile {
  std::string name;      // as setup.exe asks for it
  std::string resolved;  // the name it opens, "" when none
  bool decoded = false;  // pixels and size are known
  bool sized = false;    // the size is known (a refused PNG colour type still gives it)
  DecodedPicture pixels;
};

// Loads `name`; adds findings for a missing, shadowed, unreadable or refused file.
SkinPictureFile LoadSkinPicture(const FolderView& folder, const std::string& name, std::vector<Finding>& findings);

// The finding for a progress bar narrower than setup.exe accepts.
Finding NarrowProgressBarFinding(const SkinPictureFile& bar);

}  // namespace skintool
