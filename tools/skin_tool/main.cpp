// skintool: the skin author's tool for setup.exe (see cli.cpp for its commands).
// Its arguments and output are UTF-8 inside. On Windows the arguments come as
// UTF-16 (wmain), and the output goes to a console as UTF-16 (WriteConsoleW),
// whatever its code page, or as UTF-8 bytes to a file or pipe.
#include <algorithm>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "tools/skin_tool/cli.h"

#ifdef _WIN32
#include <windows.h>

#include "common/text_encoding.h"

namespace {

// One standard handle. Text is held until a line ends (or a flush), so that
// no UTF-8 character is ever split between two writes.
class StandardOutput : public std::streambuf {
 public:
  explicit StandardOutput(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
  }
  ~StandardOutput() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (c == '\n') sync();
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    pending_.append(text, static_cast<size_t>(n));
    if (pending_.find('\n') != std::string::npos) sync();
    return n;
  }
  int sync() override {
    if (pending_.empty()) return 0;
    bool written = true;
    if (console_) {
      // A byte that is no UTF-8 shows as U+FFFD rather than stopping the output.
      const int size = static_cast<int>(pending_.size());
      std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, nullptr, 0)), L'\0');
      MultiByteToWideChar(CP_UTF8, 0, pending_.data(), size, wide.data(), static_cast<int>(wide.size()));
      for (size_t done = 0; written && done < wide.size();) {
        DWORD count = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
        written = WriteConsoleW(handle_, wide.data() + done, chunk, &count, nullptr) && count > 0;
        done += count;
      }
    } else {
      for (size_t done = 0; written && done < pending_.size();) {
        DWORD count = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(pending_.size() - done, 1u << 20));
        written = WriteFile(handle_, pending_.data() + done, chunk, &count, nullptr) && count > 0;
        done += count;
      }
    }
    pending_.clear();
    return written ? 0 : -1;
  }

 private:
  HANDLE handle_;
  bool console_ = false;
  std::string pending_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8FromWide(argv[i]));
  StandardOutput outBuffer(STD_OUTPUT_HANDLE), errBuffer(STD_ERROR_HANDLE);
  std::ostream out(&outBuffer), err(&errBuffer);
  const int status = skintool::RunSkinTool(args, out, err);
  out.flush();
  err.flush();
  return status;
}

#else

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = skintool::RunSkinTool(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}

#endif
