#include "installer/path_rules.h"

#include <cwctype>
#include <vector>

#include "common/paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Types the shell resolves to another target, or runs through a description
// of one, instead of opening the file as it stands.
constexpr const wchar_t* kLinkLikeTypes[] = {
    L".lnk", L".url", L".pif", L".scf", L".shb", L".shs", L".website", L".appref-ms",
    L".library-ms", L".search-ms", L".searchconnector-ms", L".settingcontent-ms", L".xnk",
};

// The length of the root of an absolute path: "D:\" is 3 (2 for a bare "D:"),
// "\\server\share" up to its share's end; 0 for a path that is not absolute.
size_t RootLength(const std::wstring& path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
    if (path.size() == 2) return 2;
    return IsSeparator(path[2]) ? 3 : 0;
  }
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2])) {
    size_t i = 2;
    while (i < path.size() && !IsSeparator(path[i])) ++i;  // server
    if (i >= path.size()) return 0;
    ++i;
    const size_t shareStart = i;
    while (i < path.size() && !IsSeparator(path[i])) ++i;  // share
    return i > shareStart ? i : 0;
  }
  return 0;
}

#ifndef _WIN32
// Upper case as the file system's table has it, for the characters that
// matter in the names Setup.ini gives.
wchar_t UpperForComparison(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }
#endif

// Whether name is a device's (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any
// type after it): the file functions reach the device, never a file.
bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (SameNameIgnoringCase(stem, device)) return true;
  }
  // COM1 to COM9, and COM with a superscript 1, 2 or 3 (the same to Windows).
  const wchar_t digit = stem.size() == 4 ? stem[3] : L'\0';
  if ((digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3') {
    const std::wstring kind = stem.substr(0, 3);
    return SameNameIgnoringCase(kind, L"COM") || SameNameIgnoringCase(kind, L"LPT");
  }
  return false;
}

}  // namespace

bool IsPlainEntryName(const std::wstring& name) {
  if (name.empty() || IsDeviceName(name)) return false;
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'/' || c == L':' || c == L'?' || c == L'*' || c == L'\0') return false;
  }
  return true;
}

bool IsAbsoluteFolder(const std::wstring& path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
    return path.size() == 2 || IsSeparator(path[2]);
  }
  return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool IsRootPath(const std::wstring& full) {
  std::wstring parent = full;
  return !CutToParent(parent);
}

bool CutToParent(std::wstring& path) {
  const size_t root = RootLength(path);
  if (root == 0) return false;
  size_t end = path.size();
  while (end > root && IsSeparator(path[end - 1])) --end;
  if (end <= root) return false;
  size_t cut = end;
  while (cut > root && !IsSeparator(path[cut - 1])) --cut;
  // cut is just after the separator before the last part.
  if (cut <= root) {
    path.resize(root);  // the root itself, "D:\" or "\\server\share"
    return true;
  }
  path.resize(cut - 1);
  return true;
}

bool NormalizeFullPath(const std::wstring& absolute, std::wstring& full) {
  full.clear();
  const size_t root = RootLength(absolute);
  if (root == 0) return false;
  std::wstring head = absolute.substr(0, root);
  for (wchar_t& c : head) {
    if (c == L'/') c = L'\\';
  }
  const bool drive = head.size() <= 3 && head[1] == L':';
  if (drive) head = head.substr(0, 2) + L'\\';

  std::vector<std::wstring> parts;
  std::wstring part;
  auto finishPart = [&] {
    // A part's trailing dots and spaces are dropped, so "a." is "a"; a part of
    // dots alone is "." or "..".
    if (part == L".") {
    } else if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
      if (!part.empty()) parts.push_back(part);
    }
    part.clear();
  };
  for (size_t i = root; i < absolute.size(); ++i) {
    if (IsSeparator(absolute[i])) {
      finishPart();
    } else {
      part += absolute[i];
    }
  }
  finishPart();

  full = head;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 || !drive) full += L'\\';
    full += parts[i];
  }
  return true;
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
#ifdef _WIN32
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
#else
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperForComparison(a[i]) != UpperForComparison(b[i])) return false;
  }
  return true;
#endif
}

bool IsSameOrInsideFull(const std::wstring& inner, const std::wstring& outer) {
  if (outer.empty() || inner.size() < outer.size()) return false;
  if (!SameNameIgnoringCase(inner.substr(0, outer.size()), outer)) return false;
  return inner.size() == outer.size() || IsSeparator(inner[outer.size()]) || EndsInSeparator(outer);
}

bool IsStrictlyInsideFull(const std::wstring& inner, const std::wstring& outer) {
  return IsSameOrInsideFull(inner, outer) && !IsSameOrInsideFull(outer, inner);
}

std::wstring PartBelow(const std::wstring& inner, const std::wstring& outer) {
  size_t start = outer.size();
  while (start < inner.size() && IsSeparator(inner[start])) ++start;
  return start < inner.size() ? inner.substr(start) : std::wstring();
}

bool IsLinkLikeName(const std::wstring& path) {
  size_t nameStart = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) nameStart = i + 1;
  }
  const size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < nameStart) return false;
  const std::wstring type = path.substr(dot);
  for (const wchar_t* linkLike : kLinkLikeTypes) {
    if (SameNameIgnoringCase(type, linkLike)) return true;
  }
  return false;
}

bool RecordPathIn(const std::wstring& windows, const std::wstring& name, std::wstring& path) {
  path.clear();
  // Without the Windows directory the name alone would be taken relative to
  // the current folder, or joined to an empty one at the drive root. The
  // name is a plain file name: a folder part could make an existing file in
  // a sub-folder of the Windows directory the record.
  std::wstring folder, joined;
  if (windows.empty() || !IsPlainEntryName(name) || !NormalizeFullPath(windows, folder) ||
      !NormalizeFullPath(JoinPath(folder, name), joined) || !IsStrictlyInsideFull(joined, folder)) {
    return false;
  }
  // The record is a file of the Windows directory, never one beside or above it.
  std::wstring parent = joined;
  if (!CutToParent(parent) || !SameNameIgnoringCase(parent, folder)) return false;
  path = joined;
  return true;
}
