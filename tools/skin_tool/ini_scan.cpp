#include "tools/skin_tool/ini_scan.h"

#include <memory>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"

namespace skintool {
namespace {

// Collects what setup.exe's loader reports while it reads.
class ScanReport : public SetupIniReport {
 public:
  explicit ScanReport(IniScan& scan) : scan_(scan) {}
  void Entry(int line, int slot, const char* key, bool keyCut, const char* value, bool valueCut) override {
    scan_.entries.push_back({key, value, line, slot >= 0, keyCut, valueCut});
  }
  void LineWithoutEquals(int line, bool equalsTaken) override {
    scan_.linesWithoutEquals.push_back(line);
    if (equalsTaken) scan_.linesWithSwallowedEquals.push_back(line);
  }
  void LineBreakTaken(int line) override {
    std::vector<int>& lines = scan_.linesWithSwallowedBreak;
    if (lines.empty() || lines.back() != line) lines.push_back(line);
  }

 private:
  IniScan& scan_;
};

}  // namespace

const IniEntry* IniScan::Find(const std::string& key) const {
  for (const IniEntry& entry : entries) {
    if (entry.kept && entry.key == key) return &entry;
  }
  return nullptr;
}

IniScan ScanSetupIni(const uint8_t* data, size_t size) {
  IniScan scan;
  ScanReport report(scan);
  MemoryByteSource source(data, size);
  scan.loads = std::make_unique<SetupIni>()->LoadFrom(source, &report);
  return scan;
}

}  // namespace skintool
