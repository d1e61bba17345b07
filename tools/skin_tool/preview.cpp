#include "tools/skin_tool/preview.h"

#include <algorithm>
#include <memory>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"
#include "imaging/screen_pixels.h"
#include "tools/skin_tool/skin_pictures.h"

namespace skintool {
namespace {

constexpr const char* kIniName = "Setup.ini";

// A picture placed in the window, holding what setup.exe's Surface would hold.
struct Placed {
  DecodedPicture picture;
  int32_t left = 0, top = 0;
};

// What setup.exe holds after loading: the decoded picture; for a refused PNG
// colour type a blank picture of its size; otherwise the blank size it was
// made with. A blank is black, but a base that failed to load is grey.
DecodedPicture AsLoaded(SkinPictureFile file, SkinPicture picture) {
  if (file.decoded) return std::move(file.pixels);
  DecodedPicture blank = file.sized ? BlankPicture(file.pixels.width, file.pixels.height)
                                    : BlankPicture(kBlankPictureWidth, kBlankPictureHeight);
  if (picture == SkinPicture::kBase) {
    std::fill(blank.pixels.begin(), blank.pixels.end(), kUnloadedBaseGrey);  // the same in every channel
  }
  return blank;
}

void Draw(DecodedPicture& screen, const Placed& placed, int32_t columns) {
  CopyBlock(screen, placed.left, placed.top, placed.picture, columns, placed.picture.height);
}
void Draw(DecodedPicture& screen, const Placed& placed) { Draw(screen, placed, placed.picture.width); }

}  // namespace

Preview RenderPreview(const FolderView& folder, const PreviewRequest& request) {
  Preview preview;
  std::vector<uint8_t> ini;
  if (folder.Kind(kIniName) != EntryKind::kFile || folder.Read(kIniName, UINT64_MAX, ini) != ReadResult::kOk) {
    preview.findings.push_back({Severity::kError, kIniName, 0,
                                "Setup.ini is missing: setup.exe shows an error and ends before its window"});
    return preview;
  }
  auto store = std::make_unique<SetupIni>();
  MemoryByteSource source(ini.data(), ini.size());
  if (!store->LoadFrom(source)) {
    preview.findings.push_back({Severity::kError, kIniName, 0,
                                "Setup.ini is broken (a line without \"=\", or an entry that is no text in its "
                                "encoding): setup.exe shows an error and ends "
                                "before its window (skintool check tells which line)"});
    return preview;
  }

  Placed pictures[kSkinPictureCount];
  SkinPictureFile bar;
  for (const SkinPictureSlot& slot : kSkinPictures) {
    SkinPictureFile file = LoadSkinPicture(folder, slot.name, preview.findings);
    if (slot.picture == SkinPicture::kProgressBar) bar = file;
    Placed& placed = pictures[static_cast<int>(slot.picture)];
    placed.picture = AsLoaded(std::move(file), slot.picture);
    if (slot.xKey) {
      placed.left = store->NumberOf(slot.xKey);
      placed.top = store->NumberOf(slot.yKey);
    }
  }
  auto at = [&](SkinPicture picture) -> const Placed& { return pictures[static_cast<int>(picture)]; };

  const DecodedPicture& base = at(SkinPicture::kBase).picture;
  if (base.width == 0 || base.height == 0) {
    preview.findings.push_back({Severity::kError, SlotOf(SkinPicture::kBase).name, 0,
                                "the base picture has no size setup.exe can show: no window to draw"});
    return preview;
  }

  DecodedPicture screen = base;
  switch (request.moment) {
    case PreviewRequest::Moment::kFirstScreen:
    case PreviewRequest::Moment::kHover:
      for (SkinPicture button : kComposedButtons) Draw(screen, at(button));
      if (request.moment == PreviewRequest::Moment::kHover &&
          HoverDrawingFor(request.hover, request.installed) == HoverDrawing::kHighlight) {
        Draw(screen, at(HighlightOf(request.hover)));
      }
      break;
    case PreviewRequest::Moment::kProgress: {
      // Install refuses a narrow bar before the copy starts: the bar never shows.
      const Placed& progress = at(SkinPicture::kProgressBar);
      if (progress.picture.width < kMinimumBarWidth) {
        bar.pixels.width = progress.picture.width;
        preview.findings.push_back(NarrowProgressBarFinding(bar));
        return preview;
      }
      Draw(screen, progress, BarColumnsShown(request.steps, progress.picture.width));
      break;
    }
  }

  preview.width = screen.width;
  preview.height = screen.height;
  preview.rgba = ShapedRgba(screen, base);
  preview.drawn = true;
  return preview;
}

}  // namespace skintool
