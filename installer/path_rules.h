// The text rules of path safety: wide strings in, verdict out, no file system
// asked. path_guard.h feeds them full paths from Win32; skintool asks the same
// rules about the names that Setup.ini gives, on any system.
//   if (IsStrictlyInsideFull(L"C:\\A\\b", L"C:\\a")) ...  // true
#pragma once

#include <string>

// Whether an entry's name may be joined to its folder as one part: not empty,
// none of its characters is "\", "/", ":", "?" or "*", and it names no
// device (NUL, CON, COM1, LPT², ... with or without a type: the file functions
// would reach the device).
bool IsPlainEntryName(const std::wstring& name);

// "D:", "D:\..." or "\\server\share...": never relative to the current folder or drive.
bool IsAbsoluteFolder(const std::wstring& path);

// path with its last part cut away: "D:\A\B" -> "D:\A", "D:\A" -> "D:\",
// "\\server\share\A" -> "\\server\share". False at a root or for a relative path.
bool CutToParent(std::wstring& path);

// Whether full is a root: "D:\" or "\\server\share".
bool IsRootPath(const std::wstring& full);

// The full form of an absolute path as the file system reads it, without
// asking it: "/" read as "\", repeated separators made one, "." and ".."
// parts resolved (never above the root), trailing dots and spaces of each part
// dropped, no trailing separator except on a drive root. False for a path that
// is not absolute.
bool NormalizeFullPath(const std::wstring& absolute, std::wstring& full);

// Whether two names are equal as the file system compares them: ordinal,
// without case.
bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b);

// Whether full path inner is outer or lies below it; both are full paths
// without a trailing separator (but a drive root's).
bool IsSameOrInsideFull(const std::wstring& inner, const std::wstring& outer);
bool IsStrictlyInsideFull(const std::wstring& inner, const std::wstring& outer);

// The part of full path inner below outer ("" when inner is outer), for a
// path that IsSameOrInsideFull; inner's own spelling is kept.
std::wstring PartBelow(const std::wstring& inner, const std::wstring& outer);

// Whether a file name's type makes the shell follow it somewhere else rather
// than open the file itself: .lnk, .url, .pif, .scf and their kin.
bool IsLinkLikeName(const std::wstring& path);

// The uninstall record's path: the Windows directory + "\" + name. False,
// path empty, when windows is empty or name is not a plain file name.
bool RecordPathIn(const std::wstring& windows, const std::wstring& name, std::wstring& path);
