// Path safety: every check that decides whether the installer may write or
// delete at a path. Paths are ANSI (the system code page) and every walk over
// their bytes keeps double-byte characters whole, so a trail byte of 0x5C is
// never taken for a backslash. The unit holds no state.
//
// Callers ask the text questions first (IsSafeTreeToEmpty, WouldLieInside),
// then hold the folders they will work in (HoldRealFolder, FolderChain) so
// that no link can stand in for them while they work.
#pragma once

#include <windows.h>

#include <vector>

#include "common/win32_guards.h"

// ----- Path text ---------------------------------------------------------------

// Whether the last character of path is a single-byte backslash.
bool EndsInBackslash(const char* path);

// The full path (GetFullPathNameA) of path, in its own case, without a
// trailing backslash except on a drive root; a bare drive "D:" means its root,
// never D:'s current folder. False when it would not fit.
bool ResolveFullPath(const char* path, char (&full)[MAX_PATH]);

// Upper-cases the ASCII letters of full (a full path) in place and drops one
// trailing backslash unless full is a drive root, so that "C:\A\" and "C:\a"
// compare alike. Double-byte characters are kept whole.
void FoldCaseForComparison(char* full);

// path with its last component cut away: "D:\A\B" -> "D:\A", "D:\A" -> "D:\",
// "\\server\share\A" -> "\\server\share". False at a root or for a relative path.
bool CutToParent(char* path);

// Whether `inner` is `outer` itself or lies below it, by their folded full paths.
bool IsSameOrInside(const char* inner, const char* outer);

// Whether `inner` lies below `outer` and is not `outer` itself: where the
// names that Setup.ini gives, joined to their base folder, must stay.
bool IsStrictlyInside(const char* inner, const char* outer);

// "D:", "D:\..." or "\\server\share...": never relative to the current folder or drive.
bool IsAbsoluteFolder(const char* path);

// Whether the recorded folder and InstallDest name a tree that may be
// emptied: an absolute folder, and a tree strictly below it (never the
// folder itself, a root, or a place outside it).
bool IsSafeTreeToEmpty(const char* installDirectory, const char* installDest);

// ----- Names found by a folder walk --------------------------------------------

// Whether an entry's ANSI name may be joined to its folder: not empty, and
// none of its single-byte characters is "\", "/", ":", "?" or "*".
bool IsPlainEntryName(const char* name);

// The ANSI form of an entry's Unicode name, only when it names exactly that
// entry: converted without best-fit substitutes, converting back to the same
// Unicode name, and plain (IsPlainEntryName). False otherwise, name then empty.
bool ExactAnsiName(const wchar_t* wide, char (&name)[MAX_PATH]);

// The ANSI form of a whole Unicode path (the folder the user chose), only when
// it names exactly that path by the same rule as ExactAnsiName: no best-fit
// substitute, no "?", converting back to the same text. False, path then
// empty, for a path the ANSI file functions would take somewhere else.
bool ExactAnsiPath(const wchar_t* wide, char (&path)[MAX_PATH]);

// ----- File identities and links -------------------------------------------------

// The volume and file index of an existing file or folder: the same for every
// path that reaches it, whatever drive letter or link the path goes through.
struct FileIdentity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FileIdentity& o) const {
    return volume == o.volume && high == o.high && low == o.low;
  }
};
bool IdentityOf(const char* path, FileIdentity& identity);

// Whether `path` (which need not exist yet) would lie in `folder`: by their
// text, or because some existing folder on path's way up is `folder` itself.
bool WouldLieInside(const char* path, const char* folder);

// Whether attributes and a reparse tag describe something that redirects to
// another place (a symbolic link, a junction, a mount point). A reparse point
// whose tag is unknown counts as one; cloud-file placeholders do not.
bool IsRedirection(DWORD attributes, DWORD reparseTag);

// Whether a link (of any kind, even one whose target is gone) stands at path.
bool StandsAsLink(const char* path);

// What stands at a path that is to be entered as a folder.
enum class FolderCheck { kRealFolder, kMissing, kRefused };

// Opens folder so that it stays the folder it is while the handle is held:
// not followed if it is a link, and shared for reading and writing but not
// for deleting, so nobody can rename, remove or replace it meanwhile. The
// handle's own attributes must say "folder, no redirection"; so must the
// name's (Wine shows a Unix symbolic link only there).
FolderCheck HoldRealFolder(const char* folder, FileHandle& held);

// Holds every folder from `top` down to `tree` (which is top or lies inside
// it), top first: top as the folder it is or leads to (the folder the user
// chose, which may be a link, a mount point or a synchronised folder), every
// folder below it as HoldRealFolder does. kMissing when one of them does not
// exist; kRefused when one below top is a link, or one is not a folder.
// Handles stay held until the chain is destroyed or released.
class FolderChain {
 public:
  FolderCheck Hold(const char* top, const char* tree);
  // Holds the folders from top down to the one that holds `entry`, which
  // must lie strictly inside top: where a file or folder is about to be
  // made or removed.
  FolderCheck HoldParentsOf(const char* top, const char* entry);
  void Release() { held_.clear(); }

 private:
  std::vector<FileHandle> held_;
};
