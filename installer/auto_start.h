// The launch after an install: the program this install copied, checked to be
// byte for byte its payload file and held unchanged until it has started, and
// started as the user at the desktop rather than with the installer's rights.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/win32_guards.h"
#include "installer/path_guard.h"

// Whether bytes (the start of a file) begin with the header of a shell link.
bool HasShellLinkHeader(const BYTE* bytes, size_t size);

// What the auto-start would launch, held from the check until the launch.
class AutoStartTarget {
 public:
  // Checks and holds installFolder + "\" + relativePath. It must lie strictly
  // inside destFolder (by its text, so "..", another drive or a root leads
  // nowhere), every folder from installFolder down to it must be a real folder,
  // and the file itself no link, no link-like type, a file of one name only,
  // equal byte for byte to its payload file (the same path below sourceFolder
  // as below destFolder). While held, nobody can write, rename or delete the
  // file or rename any of those folders. False, with nothing held, otherwise.
  bool Hold(const std::wstring& installFolder, const std::wstring& relativePath,
            const std::wstring& destFolder, const std::wstring& sourceFolder);

  // Starts the held file, in its own folder, without parameters, shown
  // normally: through the desktop's shell, so it runs as the user at the
  // desktop and not with this program's rights; through this process's own
  // shell only when there is no desktop shell to ask. Returns once the shell
  // has handed the launch over. Nothing is started if the path no longer
  // reaches the held file.
  void Launch() const;

 private:
  bool Check(const std::wstring& installFolder, const std::wstring& relativePath,
             const std::wstring& destFolder, const std::wstring& sourceFolder);

  std::wstring path_;    // full
  std::wstring folder_;  // its folder
  FolderChain folders_;
  FileHandle file_;
  FileIdentity identity_;
};
