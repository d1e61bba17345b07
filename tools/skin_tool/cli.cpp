#include "tools/skin_tool/cli.h"

#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/scramble.h"
#include "tools/skin_tool/skin_check.h"

namespace skintool {
namespace {

constexpr const char* kUsage =
    "skintool: checks and prepares skins for setup.exe\n"
    "\n"
    "usage:\n"
    "  skintool check [--strict] FOLDER\n"
    "      Checks a setup folder (Setup.ini, the ui\\ pictures, the data\\ payload)\n"
    "      for what setup.exe would stumble over. One line per finding:\n"
    "        FILE[:LINE]: error|warning: TEXT\n"
    "      --strict counts warnings as errors.\n"
    "  skintool scramble [--force] FILE...\n"
    "      Writes the scrambled form beside each picture:\n"
    "      .bmp -> .ieg, .png -> .iep, .jpg -> .iej\n"
    "  skintool unscramble [--force] FILE...\n"
    "      The other way: .ieg -> .bmp, .iep -> .png, .iej -> .jpg\n"
    "      An existing file is never replaced unless --force is given.\n"
    "  skintool --help\n"
    "\n"
    "exit status: 0 done (check: no errors), 1 check found errors or a file was\n"
    "not converted, 2 usage error.\n";

struct Parsed {
  std::vector<std::string> operands;
  bool force = false;
  bool strict = false;
};

// False (after a message) on an option the command does not take.
bool Parse(const std::string& command, const std::vector<std::string>& args, Parsed& parsed, std::ostream& err) {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--force" && command != "check") {
        parsed.force = true;
      } else if (arg == "--strict" && command == "check") {
        parsed.strict = true;
      } else {
        err << "skintool " << command << ": unknown option " << arg << "\n";
        return false;
      }
    } else {
      parsed.operands.push_back(arg);
    }
  }
  return true;
}

int Check(const Parsed& parsed, std::ostream& out, std::ostream& err) {
  if (parsed.operands.size() != 1) {
    err << "skintool check: give one setup folder\n";
    return kExitUsage;
  }
  const std::string& folder = parsed.operands[0];
  if (!IsFolder(folder)) {
    err << "skintool check: " << folder << " is not a folder\n";
    return kExitUsage;
  }
  const std::vector<Finding> findings = CheckSkinFolder(*OpenDiskFolder(folder));
  int errors = 0, warnings = 0;
  for (const Finding& finding : findings) {
    out << FormatFinding(finding) << "\n";
    (finding.severity == Severity::kError ? errors : warnings)++;
  }
  if (findings.empty()) {
    out << folder << ": no problems found\n";
  } else {
    out << folder << ": " << errors << (errors == 1 ? " error, " : " errors, ") << warnings
        << (warnings == 1 ? " warning\n" : " warnings\n");
  }
  return errors > 0 || (parsed.strict && warnings > 0) ? kExitProblems : kExitOk;
}

int Convert(bool scramble, const Parsed& parsed, std::ostream& out, std::ostream& err) {
  const char* command = scramble ? "scramble" : "unscramble";
  if (parsed.operands.empty()) {
    err << "skintool " << command << ": give at least one file\n";
    return kExitUsage;
  }
  int failures = 0;
  for (const std::string& file : parsed.operands) {
    auto fail = [&](const std::string& why) {
      err << "skintool " << command << ": " << file << ": " << why << "\n";
      ++failures;
    };
    PictureKind kind;
    std::string error;
    const std::string target = ConvertedName(file, scramble, kind, error);
    if (target.empty()) {
      fail(error);
      continue;
    }
    std::vector<uint8_t> in, converted;
    if (!ReadWholeFile(file, in)) {
      fail("cannot be read");
      continue;
    }
    if (!ConvertPicture(in, kind, scramble, converted, error)) {
      fail(error);
      continue;
    }
    switch (WriteWholeFile(target, converted, parsed.force)) {
      case WriteResult::kOk:
        out << file << " -> " << target << "\n";
        break;
      case WriteResult::kExists:
        fail(target + " exists already (give --force to replace it)");
        break;
      case WriteResult::kFailed:
        fail("cannot write " + target);
        break;
    }
  }
  return failures > 0 ? kExitProblems : kExitOk;
}

}  // namespace

int RunSkinTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command != "check" && command != "scramble" && command != "unscramble") {
    err << "skintool: unknown command " << command << "\n\n" << kUsage;
    return kExitUsage;
  }
  Parsed parsed;
  if (!Parse(command, args, parsed, err)) return kExitUsage;
  if (command == "check") return Check(parsed, out, err);
  return Convert(command == "scramble", parsed, out, err);
}

}  // namespace skintool
