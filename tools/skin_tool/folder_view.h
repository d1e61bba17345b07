// What the checker sees of a skin folder: an abstract, read-only view, so that
// the checks run the same over a real folder (disk_io.h) and over one held in
// memory (tests, fuzzing). Paths are UTF-8, relative to the skin folder with
// parts separated by "\" (a "/" is read as "\" too), and names compare with
// ASCII letters without case. No byte of a UTF-8 character of more than one
// byte is ASCII, so the walks over a path's bytes never split one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace skintool {

enum class EntryKind { kNone, kFile, kFolder };

enum class ReadResult { kOk, kMissing, kTooLarge, kFailed };

class FolderView {
 public:
  virtual ~FolderView() = default;
  virtual EntryKind Kind(const std::string& path) const = 0;
  // The whole file when it has at most `limit` bytes.
  virtual ReadResult Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const = 0;
  // Every file below `folder`, at any depth, with its path relative to `folder` and its size.
  virtual void ForEachFile(const std::string& folder,
                           const std::function<void(const std::string&, uint64_t)>& visit) const = 0;
};

// A folder held in memory. A file may be declared larger than the bytes it
// holds, so that sizes of gigabytes can be checked without the bytes.
class MemoryFolder : public FolderView {
 public:
  void AddFile(const std::string& path, std::vector<uint8_t> bytes);
  void AddFile(const std::string& path, const std::string& text);
  void AddSizedFile(const std::string& path, uint64_t size);  // no readable content
  void AddFolder(const std::string& path);

  EntryKind Kind(const std::string& path) const override;
  ReadResult Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const override;
  void ForEachFile(const std::string& folder,
                   const std::function<void(const std::string&, uint64_t)>& visit) const override;

 private:
  struct Node {
    EntryKind kind = EntryKind::kFolder;
    std::string name;  // as given
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
    bool readable = true;
  };
  void AddParents(const std::string& key, const std::string& name);
  std::map<std::string, Node> nodes_;  // by folded path
};

// Path helpers shared by the checks and the views, over UTF-8 paths.
// "/" made "\", runs of "\" made one, no "\" at either end.
std::string NormalizePath(const std::string& path);
// NormalizePath, then ASCII letters lower-cased.
std::string FoldPath(const std::string& path);
// The folder part of a normalized path ("" for a name without folder).
std::string ParentOf(const std::string& normalized);
// The parts of a normalized path.
std::vector<std::string> SplitPath(const std::string& normalized);

}  // namespace skintool
