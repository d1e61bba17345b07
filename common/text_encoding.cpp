#include "common/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace {

#ifdef _WIN32
constexpr unsigned kShiftJisCodePage = 932;

unsigned CodePageOf(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 ? CP_UTF8 : kShiftJisCodePage;
}
#else
// Builds without Windows (the host checks, skintool on Linux) ask glibc's
// converters, which hold the same code page 932 table.
const char* CharsetOf(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 ? "UTF-8" : "CP932";
}

bool Convert(const char* from, const char* to, const char* in, size_t inSize, std::string& out) {
  out.clear();
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char* source = const_cast<char*>(in);
  size_t left = inSize;
  char buffer[1024];
  bool ok = true;
  while (ok && left > 0) {
    char* target = buffer;
    size_t room = sizeof buffer;
    const size_t result = iconv(converter, &source, &left, &target, &room);
    out.append(buffer, static_cast<size_t>(target - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) ok = false;
  }
  iconv_close(converter);
  if (!ok) out.clear();
  return ok;
}

bool Decode(const std::string& bytes, const char* charset, std::wstring& text) {
  std::string wide;
  text.clear();
  if (!Convert(charset, "WCHAR_T", bytes.data(), bytes.size(), wide)) return false;
  text.assign(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t));
  return true;
}

bool Encode(const std::wstring& text, const char* charset, std::string& bytes) {
  return Convert("WCHAR_T", charset, reinterpret_cast<const char*>(text.data()),
                 text.size() * sizeof(wchar_t), bytes);
}
#endif

}  // namespace

size_t Utf8SequenceLength(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

bool StartsWithUtf8Bom(const uint8_t* bytes, size_t size) {
  return size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

bool IsWholeUtf8(const uint8_t* bytes, size_t size, bool& multiByte) {
  multiByte = false;
  for (size_t i = 0; i < size;) {
    const uint8_t lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(lead);
    if (length == 1 || size - i < length) return false;
    // The second byte's range rules out overlong forms, surrogates and
    // anything past U+10FFFF; the others are plain continuation bytes.
    const uint8_t second = bytes[i + 1];
    uint8_t low = 0x80, high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (second < low || second > high) return false;
    for (size_t k = 2; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
    }
    multiByte = true;
    i += length;
  }
  return true;
}

#ifdef _WIN32

bool DecodeText(const std::string& bytes, TextEncoding encoding, std::wstring& text) {
  text.clear();
  if (bytes.empty()) return true;
  const UINT codePage = CodePageOf(encoding);
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  text.resize(static_cast<size_t>(length));
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length) != length) {
    text.clear();
    return false;
  }
  return true;
}

bool EncodeText(const std::wstring& text, TextEncoding encoding, std::string& bytes) {
  bytes.clear();
  if (text.empty()) return true;
  const UINT codePage = CodePageOf(encoding);
  const bool utf8 = encoding == TextEncoding::kUtf8;
  // UTF-8 takes neither the flag nor the used-default report; the round trip
  // below catches an unpaired surrogate there.
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  BOOL* reportDefault = utf8 ? nullptr : &usedDefault;
  const int length = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, reportDefault);
  if (length <= 0 || usedDefault) return false;
  bytes.resize(static_cast<size_t>(length));
  if (WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, nullptr, reportDefault) != length ||
      usedDefault) {
    bytes.clear();
    return false;
  }
  std::wstring back;
  if (!DecodeText(bytes, encoding, back) || back != text) {
    bytes.clear();
    return false;
  }
  return true;
}

#else

bool DecodeText(const std::string& bytes, TextEncoding encoding, std::wstring& text) {
  return Decode(bytes, CharsetOf(encoding), text);
}

bool EncodeText(const std::wstring& text, TextEncoding encoding, std::string& bytes) {
  std::wstring back;
  if (!Encode(text, CharsetOf(encoding), bytes) || !DecodeText(bytes, encoding, back) || back != text) {
    bytes.clear();
    return false;
  }
  return true;
}

#endif

std::wstring WideFromShiftJis(const char* bytes) {
  std::wstring text;
  DecodeText(bytes, TextEncoding::kShiftJis, text);
  return text;
}

std::string Utf8FromWide(const std::wstring& text) {
  std::string bytes;
  EncodeText(text, TextEncoding::kUtf8, bytes);
  return bytes;
}

std::wstring WideFromUtf8(const std::string& bytes) {
  std::wstring text;
  DecodeText(bytes, TextEncoding::kUtf8, text);
  return text;
}
