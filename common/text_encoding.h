// Where stored bytes become text and back. Inside, every text and path is
// UTF-16 (std::wstring); bytes exist only where they are stored: Setup.ini and
// the uninstall record (Shift-JIS, code page 932 named explicitly, or UTF-8)
// and the built-in message texts (Shift-JIS).
//   std::wstring caption;
//   if (DecodeText(bytes, TextEncoding::kShiftJis, caption)) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class TextEncoding { kShiftJis, kUtf8 };

// ----- Pure: bytes in, verdict out ------------------------------------------------

// Whether bytes are well-formed UTF-8 as a whole (no overlong form, no
// surrogate, nothing past U+10FFFF); `multiByte` tells whether any character
// takes more than one byte.
bool IsWholeUtf8(const uint8_t* bytes, size_t size, bool& multiByte);

// How many bytes the UTF-8 sequence that `lead` starts takes: 1 for ASCII and
// for a byte that starts none.
size_t Utf8SequenceLength(uint8_t lead);

// Whether bytes begin with the UTF-8 byte-order mark EF BB BF.
bool StartsWithUtf8Bom(const uint8_t* bytes, size_t size);

// ----- Conversions ------------------------------------------------------------------

// bytes in `encoding` as UTF-16. False (text then empty) when they are not
// valid in it: no character is guessed or replaced.
bool DecodeText(const std::string& bytes, TextEncoding encoding, std::wstring& text);

// Built-in Shift-JIS texts (common/messages.h), which are always valid.
std::wstring WideFromShiftJis(const char* bytes);

// text in `encoding`, only when that names exactly the same text: no best-fit
// substitute, no default character, converting back gives text again.
bool EncodeText(const std::wstring& text, TextEncoding encoding, std::string& bytes);

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& bytes);  // "" when bytes are not UTF-8
