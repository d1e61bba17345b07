#include "tools/skin_tool/folder_view.h"

namespace skintool {

std::string NormalizePath(const std::string& path) {
  std::string out;
  bool separatorDue = false;  // a separator was seen since the last character
  for (const char c : path) {
    if (c == '\\' || c == '/') {
      separatorDue = !out.empty();
      continue;
    }
    if (separatorDue) out += '\\';
    separatorDue = false;
    out += c;
  }
  return out;
}

std::string FoldPath(const std::string& path) {
  std::string out = NormalizePath(path);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::vector<std::string> SplitPath(const std::string& normalized) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : normalized) {
    if (c == '\\') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty() || !parts.empty()) parts.push_back(part);
  return parts;
}

std::string ParentOf(const std::string& normalized) {
  const std::vector<std::string> parts = SplitPath(normalized);
  std::string parent;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (i > 0) parent += '\\';
    parent += parts[i];
  }
  return parent;
}

void MemoryFolder::AddParents(const std::string& key, const std::string& name) {
  const std::vector<std::string> keys = SplitPath(key);
  const std::vector<std::string> names = SplitPath(name);
  std::string k, n;
  for (size_t i = 0; i + 1 < keys.size(); ++i) {
    k += (i ? "\\" : "") + keys[i];
    n += (i ? "\\" : "") + names[i];
    Node& node = nodes_[k];
    node.kind = EntryKind::kFolder;
    if (node.name.empty()) node.name = n;
  }
}

void MemoryFolder::AddFile(const std::string& path, std::vector<uint8_t> bytes) {
  const std::string key = FoldPath(path);
  AddParents(key, NormalizePath(path));
  Node& node = nodes_[key];
  node.kind = EntryKind::kFile;
  node.name = NormalizePath(path);
  node.size = bytes.size();
  node.bytes = std::move(bytes);
  node.readable = true;
}

void MemoryFolder::AddFile(const std::string& path, const std::string& text) {
  AddFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void MemoryFolder::AddSizedFile(const std::string& path, uint64_t size) {
  AddFile(path, std::vector<uint8_t>());
  Node& node = nodes_[FoldPath(path)];
  node.size = size;
  node.readable = false;
}

void MemoryFolder::AddFolder(const std::string& path) {
  const std::string key = FoldPath(path);
  if (key.empty()) return;
  AddParents(key, NormalizePath(path));
  Node& node = nodes_[key];
  node.kind = EntryKind::kFolder;
  node.name = NormalizePath(path);
}

EntryKind MemoryFolder::Kind(const std::string& path) const {
  const std::string key = FoldPath(path);
  if (key.empty()) return EntryKind::kFolder;
  auto it = nodes_.find(key);
  return it == nodes_.end() ? EntryKind::kNone : it->second.kind;
}

ReadResult MemoryFolder::Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const {
  auto it = nodes_.find(FoldPath(path));
  if (it == nodes_.end() || it->second.kind != EntryKind::kFile) return ReadResult::kMissing;
  if (it->second.size > limit) return ReadResult::kTooLarge;
  if (!it->second.readable) return ReadResult::kFailed;
  bytes = it->second.bytes;
  return ReadResult::kOk;
}

void MemoryFolder::ForEachFile(const std::string& folder,
                               const std::function<void(const std::string&, uint64_t)>& visit) const {
  const std::string prefix = FoldPath(folder);
  for (const auto& [key, node] : nodes_) {
    if (node.kind != EntryKind::kFile) continue;
    if (prefix.empty()) {
      visit(node.name, node.size);
    } else if (key.size() > prefix.size() + 1 && key.compare(0, prefix.size(), prefix) == 0 &&
               key[prefix.size()] == '\\') {
      // The folded prefix has the given name's length: the same bytes, only case differs.
      visit(node.name.substr(prefix.size() + 1), node.size);
    }
  }
}

}  // namespace skintool
