// Measures SetupShell::CopyTree alone (the install's copy: 1024-byte blocks,
// the tail byte by byte): copy_tree_bench SOURCE DESTINATION prints the bytes
// copied and the seconds taken.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "installer/path_guard.h"
#include "installer/setup_shell.h"

// Arguments arrive as UTF-16 (-municode), so any folder name works.
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy_tree_bench SOURCE DESTINATION\n");
    return 2;
  }
  SetupShell shell(nullptr);
  std::wstring source, destination;
  if (!ResolveFullPath(argv[1], source) || !ResolveFullPath(argv[2], destination)) return 2;
  CreateDirectoryW(destination.c_str(), nullptr);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  shell.CopyTree(source, destination, counter, notCopied);
  QueryPerformanceCounter(&end);
  std::printf("%lu bytes %.6f seconds %lu files not copied\n",
              static_cast<unsigned long>(counter.load()),
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
              static_cast<unsigned long>(notCopied.load()));
  return notCopied.load() == 0 ? 0 : 1;
}
