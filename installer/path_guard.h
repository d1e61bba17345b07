// Path safety: every check that decides whether the installer may write or
// delete at a path. Paths are UTF-16; the text rules live in path_rules.h,
// and this unit feeds them the full paths and file identities that Win32
// gives. The unit holds no state.
//
// Callers ask the text questions first (IsSafeTreeToEmpty, WouldLieInside),
// then hold the folders they will work in (HoldRealFolder, FolderChain) so
// that no link can stand in for them while they work.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/win32_guards.h"
#include "installer/path_rules.h"

// ----- Path text ---------------------------------------------------------------

// The full path (GetFullPathNameW) of path, in its own case, without a
// trailing backslash except on a drive root; a bare drive "D:" means its root,
// never D:'s current folder. False for an empty path or when it cannot be had.
bool ResolveFullPath(const std::wstring& path, std::wstring& full);

// Whether `inner` is `outer` itself or lies below it, by their full paths,
// compared as the file system compares names.
bool IsSameOrInside(const std::wstring& inner, const std::wstring& outer);

// Whether `inner` lies below `outer` and is not `outer` itself: where the
// names that Setup.ini gives, joined to their base folder, must stay.
bool IsStrictlyInside(const std::wstring& inner, const std::wstring& outer);

// Whether the recorded folder and InstallDest name a tree that may be
// emptied: an absolute folder, and a tree strictly below it (never the
// folder itself, a root, or a place outside it).
bool IsSafeTreeToEmpty(const std::wstring& installDirectory, const std::wstring& installDest);

// ----- File identities and links -------------------------------------------------

// The volume and file index of an existing file or folder: the same for every
// path that reaches it, whatever drive letter or link the path goes through.
struct FileIdentity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FileIdentity& o) const {
    return volume == o.volume && high == o.high && low == o.low;
  }
};
bool IdentityOf(const std::wstring& path, FileIdentity& identity);
bool IdentityOf(HANDLE handle, FileIdentity& identity);

// The full path of an open file or folder as the system names it, without
// links and without the "\\?\" prefix; empty when it cannot be had.
std::wstring FinalPathOf(HANDLE handle);

// Whether `path` (which need not exist yet) would lie in `folder`: by their
// text, or because some existing folder on path's way up is `folder` itself.
bool WouldLieInside(const std::wstring& path, const std::wstring& folder);

// Whether attributes and a reparse tag describe something that redirects to
// another place (a symbolic link, a junction, a mount point). A reparse point
// whose tag is unknown counts as one; cloud-file placeholders do not.
bool IsRedirection(DWORD attributes, DWORD reparseTag);

// Whether a link (of any kind, even one whose target is gone) stands at path.
bool StandsAsLink(const std::wstring& path);

// What became of a folder that was to be held: held (a real folder, or for
// the top of a chain the folder a link there leads to), missing, or refused.
enum class FolderCheck { kHeld, kMissing, kRefused };

// Opens folder so that it stays the folder it is while the handle is held:
// not followed if it is a link, and shared for reading and writing but not
// for deleting, so nobody can rename, remove or replace it meanwhile. The
// handle's own attributes must say "folder, no redirection"; so must the
// name's (Wine shows a Unix symbolic link only there).
FolderCheck HoldRealFolder(const std::wstring& folder, FileHandle& held);

// Holds every folder from `top` down to `tree` (which is top or lies inside
// it), top first: top as the folder it is or leads to (the folder the user
// chose, which may be a link, a mount point or a synchronised folder), every
// folder below it as HoldRealFolder does. kMissing when one of them does not
// exist; kRefused when one below top is a link, or one is not a folder.
// Handles stay held until the chain is destroyed or released.
class FolderChain {
 public:
  FolderCheck Hold(const std::wstring& top, const std::wstring& tree);
  // Holds the folders from top down to the one that holds `entry`, which
  // must lie strictly inside top: where a file or folder is about to be
  // made or removed.
  FolderCheck HoldParentsOf(const std::wstring& top, const std::wstring& entry);
  // HoldParentsOf, then where the entry is by the held folder's final path
  // (see FinalPath): the path by which to make or remove it. Empty when its
  // folders could not be held; `check`, when given, says what the hold gave.
  std::wstring HoldPlaceOf(const std::wstring& top, const std::wstring& entry, FolderCheck* check = nullptr);
  void Release() {
    held_.clear();
    heldPath_.clear();
  }

  // The full path of the innermost folder held, as the system names the held
  // folder itself (GetFinalPathNameByHandleW): no link is left in it, so work
  // that goes by it reaches the held folder even after a link above it has
  // been pointed elsewhere. A folder the system cannot name by a drive letter
  // (a volume mounted without one) is named by the path it was held by, as
  // long as that path still reaches it. Empty when nothing is held.
  std::wstring FinalPath() const;

 private:
  std::vector<FileHandle> held_;
  std::wstring heldPath_;  // the innermost folder's full path as held
};
