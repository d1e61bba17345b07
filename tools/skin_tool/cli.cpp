#include "tools/skin_tool/cli.h"

#include "tools/skin_tool/archive_view.h"
#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/png_writer.h"
#include "tools/skin_tool/preview.h"
#include "tools/skin_tool/scramble.h"
#include "tools/skin_tool/skin_check.h"

#ifdef _WIN32
#include "tools/skin_tool/pack.h"
#endif

namespace skintool {
namespace {

constexpr const char* kUsage =
    "skintool: checks and prepares skins for setup.exe\n"
    "\n"
    "usage:\n"
    "  skintool check [--strict] FOLDER|PACKED.exe\n"
    "      Checks a setup folder (Setup.ini, the ui\\ pictures, the data\\ payload),\n"
    "      or the archive a packed setup.exe carries, for what setup.exe would\n"
    "      stumble over. First the encoding setup.exe reads Setup.ini in (UTF-8\n"
    "      or Shift-JIS), then one line per finding:\n"
    "        FILE[:LINE]: error|warning: TEXT\n"
    "      --strict counts warnings as errors.\n"
    "  skintool scramble [--force] FILE...\n"
    "      Writes the scrambled form beside each picture:\n"
    "      .bmp -> .ieg, .png -> .iep, .jpg -> .iej\n"
    "  skintool unscramble [--force] FILE...\n"
    "      The other way: .ieg -> .bmp, .iep -> .png, .iej -> .jpg\n"
    "      An existing file is never replaced unless --force is given.\n"
    "  skintool preview FOLDER|PACKED.exe OUT.png [--hover install|uninstall|exit] [--progress N] [--installed]\n"
    "      Draws the window setup.exe shows for the folder into an RGBA PNG at the\n"
    "      base picture's size (cut-out pixels transparent): the first screen, a\n"
    "      button's highlight under the pointer (--installed: as when an uninstall\n"
    "      record exists), or the bare base with the bar after N of 100 steps.\n"
    "  skintool pack [--force] FOLDER OUT.exe\n"
    "      Writes one executable: the folder's setup.exe with Setup.ini, ui\\ and\n"
    "      data\\ in a zip archive behind it. The same folder packs to the same bytes.\n"
    "  skintool unpack [--force] PACKED.exe FOLDER\n"
    "      Gives the setup folder back: setup.exe, Setup.ini, ui\\ and data\\.\n"
    "      An existing OUT.exe, or a folder with files in it, is written only\n"
    "      with --force.\n"
    "  skintool --help\n"
    "\n"
    "exit status: 0 done (check: no errors; preview: picture written), 1 check\n"
    "found errors, a file was not converted, no preview was written or a pack or\n"
    "unpack was refused, 2 usage error.\n";

// What check and preview say of a path that is neither kind of skin.
std::string NoSkin(const std::string& path) {
#ifdef _WIN32
  return path + " is neither a folder nor a packed setup.exe";
#else
  return path + " is not a folder (packed setup.exe files are read on Windows only)";
#endif
}

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
    err << "skintool check: give one setup folder or packed setup.exe\n";
    return kExitUsage;
  }
  const std::string& folder = parsed.operands[0];
  const SkinSource source = OpenSkinSource(folder);
  if (source.kind == SkinSource::Kind::kNoSkin) {
    err << "skintool check: " << NoSkin(folder) << "\n";
    return kExitUsage;
  }
  std::string readAs;
  std::vector<Finding> findings;
  if (source.kind == SkinSource::Kind::kDamaged) {
    findings.push_back({Severity::kError, "", 0, "the archive is damaged or altered"});
  } else {
    if (source.kind == SkinSource::Kind::kPacked) {
      out << "packed: " << source.files << (source.files == 1 ? " file" : " files") << " in the archive\n";
    }
    findings = CheckSkinFolder(*source.view, &readAs);
  }
  if (!readAs.empty()) out << "Setup.ini: read as " << readAs << "\n";
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

// preview FOLDER OUT.png [--hover BUTTON] [--progress N] [--installed]
int RunPreview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  auto usage = [&](const std::string& why) {
    err << "skintool preview: " << why << "\n";
    return kExitUsage;
  };
  PreviewRequest request;
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--installed") {
      request.installed = true;
    } else if (arg == "--hover" || arg == "--progress") {
      if (request.moment != PreviewRequest::Moment::kFirstScreen) return usage("give --hover or --progress once");
      if (i + 1 >= args.size()) return usage(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--hover") {
        request.moment = PreviewRequest::Moment::kHover;
        if (value == "install") request.hover = SkinButton::kInstall;
        else if (value == "uninstall") request.hover = SkinButton::kUninstall;
        else if (value == "exit") request.hover = SkinButton::kExit;
        else return usage("--hover takes install, uninstall or exit, not " + value);
      } else {
        request.moment = PreviewRequest::Moment::kProgress;
        const bool digits = !value.empty() && value.size() <= 3 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoi(value) > 100) return usage("--progress takes a number of steps from 0 to 100, not " + value);
        request.steps = static_cast<uint32_t>(std::stoi(value));
      }
    } else {
      return usage("unknown option " + arg);
    }
  }
  if (operands.size() != 2) return usage("give a setup folder and the PNG file to write");
  const std::string& folder = operands[0];
  const std::string& target = operands[1];
  const SkinSource source = OpenSkinSource(folder);
  if (source.kind == SkinSource::Kind::kNoSkin) return usage(NoSkin(folder));
  if (source.kind == SkinSource::Kind::kDamaged) {
    err << "error: the archive is damaged or altered\nskintool preview: nothing written\n";
    return kExitProblems;
  }

  const Preview preview = RenderPreview(*source.view, request);
  for (const Finding& finding : preview.findings) err << FormatFinding(finding) << "\n";
  if (!preview.drawn) {
    err << "skintool preview: nothing written\n";
    return kExitProblems;
  }
  std::vector<uint8_t> png;
  if (!EncodeRgbaPng(preview.width, preview.height, preview.rgba, png)) {
    err << "skintool preview: the picture could not be encoded\n";
    return kExitProblems;
  }
  if (WriteWholeFile(target, png, true) != WriteResult::kOk) {
    err << "skintool preview: cannot write " << target << "\n";
    return kExitProblems;
  }
  out << target << ": " << preview.width << "x" << preview.height << "\n";
  return kExitOk;
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
  if (command == "preview") return RunPreview(args, out, err);
  if (command != "check" && command != "scramble" && command != "unscramble" && command != "pack" &&
      command != "unpack") {
    err << "skintool: unknown command " << command << "\n\n" << kUsage;
    return kExitUsage;
  }
  Parsed parsed;
  if (!Parse(command, args, parsed, err)) return kExitUsage;
  if (command == "check") return Check(parsed, out, err);
  if (command == "pack" || command == "unpack") {
#ifdef _WIN32
    return (command == "pack" ? RunPack : RunUnpack)(parsed.operands, parsed.force, out, err);
#else
    err << "skintool " << command << ": packed files are made and read on Windows only\n";
    return kExitUsage;
#endif
  }
  return Convert(command == "scramble", parsed, out, err);
}

}  // namespace skintool
