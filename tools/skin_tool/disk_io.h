// The tool's contact with real files: a FolderView over a folder on disk and
// whole-file reads and writes. Paths are UTF-8. On Windows every file call is
// a W function, on the path made full and in its extended-length form, so
// that any name and depth Windows allows is reached; std::filesystem elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/skin_tool/folder_view.h"

namespace skintool {

// A FolderView over `root`. Names are matched without case for ASCII
// letters, as Windows matches them, on every system.
std::unique_ptr<FolderView> OpenDiskFolder(const std::string& root);

bool IsFolder(const std::string& path);
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

enum class WriteResult { kOk, kExists, kFailed };
// Writes a new file; an existing one is replaced only when `replace` is set.
// A write that fails part way leaves no file behind.
WriteResult WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool replace);

#ifdef _WIN32
// The path as the W file functions take it: full, in its extended-length
// form; L"" for a path that is not UTF-8.
std::wstring WideFilePath(const std::string& path);
#endif

}  // namespace skintool
