#include "common/paths.h"

bool EndsInSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& name) {
  if (base.empty()) return name;
  std::wstring path = base;
  if (!EndsInSeparator(path)) path += L'\\';
  return path + name;
}

std::wstring ExtendedLengthPath(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\", 0) == 0 && full.size() > 2) return L"\\\\?\\UNC\\" + full.substr(2);
  return full;
}
