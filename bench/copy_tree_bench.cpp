// Measures SetupShell::CopyTree alone (the install's copy: 1024-byte blocks,
// the tail byte by byte): copy_tree_bench SOURCE DESTINATION prints the bytes
// copied and the seconds taken.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "installer/setup_shell.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy_tree_bench SOURCE DESTINATION\n");
    return 2;
  }
  SetupShell shell(nullptr);
  CreateDirectoryA(argv[2], nullptr);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  shell.CopyTree(argv[1], argv[2], counter, notCopied);
  QueryPerformanceCounter(&end);
  std::printf("%lu bytes %.6f seconds %lu files not copied\n",
              static_cast<unsigned long>(counter.load()),
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
              static_cast<unsigned long>(notCopied.load()));
  return notCopied.load() == 0 ? 0 : 1;
}
