// skintool preview: the window setup.exe would show for a setup folder, drawn
// in memory. The folder is read as setup.exe reads it (the SetupIni store, its
// name resolution and decoders, a blank picture for one that fails), and the
// layout's decisions (imaging/skin_layout.h) say what is drawn where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/skin_layout.h"
#include "tools/skin_tool/folder_view.h"
#include "tools/skin_tool/skin_check.h"

namespace skintool {

struct PreviewRequest {
  enum class Moment { kFirstScreen, kHover, kProgress };
  Moment moment = Moment::kFirstScreen;
  SkinButton hover = SkinButton::kNone;  // kHover: the button under the pointer
  uint32_t steps = 0;                    // kProgress: hundredths copied, 0..100
  bool installed = false;                // an uninstall record is present
};

struct Preview {
  bool drawn = false;  // false: nothing to show (findings say why)
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // rows top first; alpha 0 where the window's shape cuts out
  std::vector<Finding> findings;
};

Preview RenderPreview(const FolderView& folder, const PreviewRequest& request);

}  // namespace skintool
