#include "contract_checks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"
#include "common/text_encoding.h"
#include "imaging/black_runs.h"
#include "imaging/pixel_layout.h"

namespace {

std::string Describe(const char* what, long long got, long long want) {
  return std::string(what) + ": got " + std::to_string(got) + ", want " + std::to_string(want);
}

// ---------------------------------------------------------------- Setup.ini

// The reading rules once more, written plainly over the whole buffer.
struct ReadBack {
  bool ok = true;
  TextEncoding encoding = TextEncoding::kShiftJis;
  int count = 0;
  std::vector<std::string> keys, values;  // as cut into the slots
};

// Appends characters to a text the way a slot takes them: once one character
// does not fit, nothing more is taken.
struct CutText {
  std::string text;
  bool full = false;
  void Take(const std::string& character) {
    if (full) return;
    if (text.size() + character.size() > static_cast<size_t>(SetupIni::kTextSize - 1)) {
      full = true;
      return;
    }
    text += character;
  }
};

ReadBack ReadRules(const uint8_t* data, size_t size) {
  ReadBack r;
  // The encoding: UTF-8 after a byte order mark (skipped) or for a file that
  // is UTF-8 as a whole with a character of more than one byte.
  bool multiByte = false;
  const bool bom = StartsWithUtf8Bom(data, size);
  const bool utf8 = bom || (IsWholeUtf8(data, size, multiByte) && multiByte);
  const TextEncoding encoding = utf8 ? TextEncoding::kUtf8 : TextEncoding::kShiftJis;
  r.encoding = encoding;
  size_t at = bom ? 3 : 0;
  auto isBreak = [](uint8_t b) { return b == '\r' || b == '\n'; };
  // One character at `at`. Shift-JIS: a byte of 0x80 and above takes the
  // next byte too. UTF-8: a lead byte takes the continuation bytes after it,
  // up to its sequence's length.
  auto character = [&]() {
    std::string c(1, static_cast<char>(data[at++]));
    const uint8_t lead = static_cast<uint8_t>(c[0]);
    if (utf8) {
      const size_t length = Utf8SequenceLength(lead);
      while (c.size() < length && at < size && (data[at] & 0xC0) == 0x80) c += static_cast<char>(data[at++]);
    } else if (lead >= 0x80 && at < size) {
      c += static_cast<char>(data[at++]);
    }
    return c;
  };
  auto store = [&](const CutText& key, const CutText& value) {
    if (r.count >= SetupIni::kSlots) return;
    r.keys.push_back(key.text);
    r.values.push_back(value.text);
  };
  // The texts as a slot's C string reads them must be text in the encoding.
  auto isText = [&](const CutText& text) {
    std::wstring wide;
    return DecodeText(std::string(text.text.c_str()), encoding, wide);
  };
  for (;;) {
    if (at == size) return r;
    if (isBreak(data[at])) {
      ++at;
      continue;
    }
    if (data[at] == ';') {
      while (at < size && !isBreak(data[at])) ++at;
      if (at == size) return r;
      ++at;
      continue;
    }
    CutText key, value;
    key.Take(character());
    for (;;) {
      if (at == size || isBreak(data[at])) {
        r.ok = false;
        store(key, value);
        return r;
      }
      if (data[at] == '=') {
        ++at;
        break;
      }
      key.Take(character());
    }
    while (at < size && !isBreak(data[at])) value.Take(character());
    if (!isText(key) || !isText(value)) {  // refused, its slot left empty
      r.ok = false;
      return r;
    }
    store(key, value);
    if (at == size) return r;
    ++at;
    if (r.count < SetupIni::kSlots) ++r.count;
  }
}

// atoi's reading, saturated to int: the C library's strtol, clamped.
int ClampedStrtol(const char* text) {
  errno = 0;
  long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// ---------------------------------------------------------------- pictures

bool Untouched(const DecodedPicture& d) {
  return d.width == 0 && d.height == 0 && d.pixels.empty();
}

std::string CheckDecoded(const char* form, DecodeStatus status, const DecodedPicture& d) {
  const std::string where = std::string(form) + ": ";
  switch (status) {
    case DecodeStatus::kOk:
      if (!IsPictureSizeAllowed(d.width, d.height)) {
        return where + "accepted a picture of a refused size " + std::to_string(d.width) + "x" +
               std::to_string(d.height);
      }
      if (d.pixels.size() != static_cast<size_t>(PictureStride(d.width) * d.height)) {
        return where + Describe("pixel bytes", static_cast<long long>(d.pixels.size()),
                                PictureStride(d.width) * d.height);
      }
      return "";
    case DecodeStatus::kUnsupportedPngColorType:
      if (!d.pixels.empty()) return where + "colour-type refusal with pixels";
      if (d.width <= 0 || d.height <= 0 || d.width > kMaxPictureSide || d.height > kMaxPictureSide) {
        return where + "colour-type refusal with size " + std::to_string(d.width) + "x" +
               std::to_string(d.height);
      }
      return "";
    case DecodeStatus::kNotTwentyFourBitBmp:
    case DecodeStatus::kDamaged:
      return Untouched(d) ? "" : where + "a refused picture changed the output";
  }
  return where + "unknown status " + std::to_string(static_cast<int>(status));
}

std::string SameResult(const char* forms, DecodeStatus s1, const DecodedPicture& d1,
                       DecodeStatus s2, const DecodedPicture& d2) {
  const std::string where = std::string(forms) + ": ";
  if (s1 != s2) {
    return where + Describe("status of the other form", static_cast<int>(s2), static_cast<int>(s1));
  }
  if (d1.width != d2.width || d1.height != d2.height) return where + "sizes differ";
  if (d1.pixels != d2.pixels) return where + "pixels differ";
  return "";
}

// The other BMP form: the bytes before the pixel offset (the file header's
// always) XOR-ed, the offset read from the plain header.
std::vector<uint8_t> OtherBmpForm(const uint8_t* data, size_t size, bool scrambled) {
  std::vector<uint8_t> other(data, data + size);
  const size_t fileHeader = std::min<size_t>(size, 14);
  for (size_t i = 0; i < fileHeader; ++i) other[i] ^= kScrambleByte;
  if (size < 14) return other;
  const uint8_t* plain = scrambled ? other.data() : data;
  const uint32_t offset = plain[10] | plain[11] << 8 | plain[12] << 16 |
                          static_cast<uint32_t>(plain[13]) << 24;
  for (size_t i = 14; i < size && i < offset; ++i) other[i] ^= kScrambleByte;
  return other;
}

std::vector<uint8_t> XorAll(const uint8_t* data, size_t size) {
  std::vector<uint8_t> other(data, data + size);
  for (uint8_t& b : other) b ^= kScrambleByte;
  return other;
}

}  // namespace

std::string CheckSetupIniInput(const uint8_t* data, size_t size) {
  auto store = std::make_unique<SetupIni>();
  MemoryByteSource source(data, size);
  const bool ok = store->LoadFrom(source);
  const ReadBack want = ReadRules(data, size);

  if (ok != want.ok) return Describe("LoadFrom result", ok, want.ok);
  if (store->encoding != want.encoding) {
    return Describe("encoding", static_cast<int>(store->encoding), static_cast<int>(want.encoding));
  }
  if (store->count != want.count) return Describe("count", store->count, want.count);
  for (int i = 0; i < SetupIni::kSlots; ++i) {
    const char* key = store->keys[i];
    const char* value = store->values[i];
    if (key[SetupIni::kTextSize - 1] != 0 || value[SetupIni::kTextSize - 1] != 0) {
      return "slot " + std::to_string(i) + " is not terminated";
    }
    // Compare whole slots: texts may hold zero bytes of their own.
    char wantKey[SetupIni::kTextSize] = {}, wantValue[SetupIni::kTextSize] = {};
    if (static_cast<size_t>(i) < want.keys.size()) {
      std::memcpy(wantKey, want.keys[i].data(), want.keys[i].size());
      std::memcpy(wantValue, want.values[i].data(), want.values[i].size());
    }
    if (std::memcmp(key, wantKey, sizeof wantKey) != 0) {
      return "slot " + std::to_string(i) + " key differs from the rules' reading";
    }
    if (std::memcmp(value, wantValue, sizeof wantValue) != 0) {
      return "slot " + std::to_string(i) + " value differs from the rules' reading";
    }
  }

  // Slots past the one at `count` are empty (checked above): lookups stop there.
  const int looked = store->count < SetupIni::kSlots ? store->count + 1 : SetupIni::kSlots;
  for (int i = 0; i < looked; ++i) {
    const char* key = store->keys[i];
    const int found = store->IndexOf(key);
    if (found < 0 || found > i || std::strcmp(store->keys[found], key) != 0) {
      return Describe("IndexOf of slot's own key", found, i);
    }
    if (store->ValueOf(key) != store->values[found]) return "ValueOf is not a view of its slot";
    if (store->values[found][0] != 0 && store->TextOf(key).empty()) return "a kept value is no text";
    const int number = store->NumberOf(key);
    if (number != ClampedStrtol(store->values[found])) {
      return Describe("NumberOf", number, ClampedStrtol(store->values[found]));
    }
  }
  // A name longer than any slot holds can never be found.
  const std::string missing(SetupIni::kTextSize, 'k');
  if (store->IndexOf(missing.c_str()) != -1 || *store->ValueOf(missing.c_str()) != 0) {
    return "a key longer than a slot was found";
  }

  // DecimalValue over the input itself, up to its first zero byte.
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (DecimalValue(text.c_str()) != ClampedStrtol(text.c_str())) {
    return Describe("DecimalValue of the input", DecimalValue(text.c_str()),
                    ClampedStrtol(text.c_str()));
  }
  return "";
}

std::string CheckBmpInput(const uint8_t* data, size_t size, bool scrambled, DecodeStatus* status) {
  DecodedPicture d;
  const DecodeStatus s = DecodeBmp(data, size, scrambled, d);
  if (status) *status = s;
  if (s == DecodeStatus::kUnsupportedPngColorType) return "bmp: PNG status from the BMP reader";
  std::string problem = CheckDecoded("bmp", s, d);
  if (!problem.empty()) return problem;

  const std::vector<uint8_t> other = OtherBmpForm(data, size, scrambled);
  DecodedPicture d2;
  const DecodeStatus s2 = DecodeBmp(other.data(), other.size(), !scrambled, d2);
  // A pixel offset inside the headers (or a file too short to hold one) makes
  // "the bytes before the pixels" ill-defined: both forms are refused, but not
  // necessarily for the same reason.
  const uint8_t* plain = scrambled ? other.data() : data;
  const bool offsetPastHeaders =
      size >= 14 && (plain[10] | plain[11] << 8 | plain[12] << 16 |
                     static_cast<uint32_t>(plain[13]) << 24) >= 54;
  if (!offsetPastHeaders) {
    if (s == DecodeStatus::kOk || s2 == DecodeStatus::kOk) {
      return "bmp: a pixel offset inside the headers was accepted";
    }
    return "";
  }
  return SameResult("bmp plain/scrambled", s, d, s2, d2);
}

std::string CheckPngInput(const uint8_t* data, size_t size, bool scrambled, DecodeStatus* status) {
  DecodedPicture d;
  const DecodeStatus s = DecodePng(data, size, scrambled, d);
  if (status) *status = s;
  if (s == DecodeStatus::kNotTwentyFourBitBmp) return "png: BMP status from the PNG reader";
  std::string problem = CheckDecoded("png", s, d);
  if (!problem.empty()) return problem;

  const std::vector<uint8_t> other = XorAll(data, size);
  DecodedPicture d2;
  const DecodeStatus s2 = DecodePng(other.data(), other.size(), !scrambled, d2);
  return SameResult("png plain/scrambled", s, d, s2, d2);
}

std::string CheckJpegInput(const uint8_t* data, size_t size, DecodeStatus* status) {
  DecodedPicture d;
  const DecodeStatus s = DecodeJpeg(data, size, d);
  if (status) *status = s;
  if (s != DecodeStatus::kOk && s != DecodeStatus::kDamaged) {
    return Describe("jpeg: status", static_cast<int>(s), static_cast<int>(DecodeStatus::kDamaged));
  }
  std::string problem = CheckDecoded("jpeg", s, d);
  if (!problem.empty()) return problem;

  const bool plainStart = size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
  const bool scrambledStart = size >= 2 && data[0] == (0xFF ^ kScrambleByte) &&
                              data[1] == (0xD8 ^ kScrambleByte);
  if (!plainStart && !scrambledStart) return "";
  const std::vector<uint8_t> other = XorAll(data, size);
  DecodedPicture d2;
  const DecodeStatus s2 = DecodeJpeg(other.data(), other.size(), d2);
  return SameResult("jpeg plain/scrambled", s, d, s2, d2);
}

std::string CheckBlackRuns(const uint8_t* bits, int32_t width, int32_t height, int64_t stride,
                           size_t* runs) {
  auto isBlack = [&](int32_t x, int32_t y) {
    const uint8_t* p = bits + (height - 1 - y) * stride + 3 * x;
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
  };
  const size_t pixels = width > 0 && height > 0 ? static_cast<size_t>(width) * height : 0;
  std::vector<uint8_t> covered(pixels, 0);
  std::string problem;
  size_t count = 0;
  int32_t lastTop = height;  // rows come bottom first: window rows count down
  ForEachBlackRun(bits, width, height, stride, [&](int32_t left, int32_t top, int32_t right) {
    ++count;
    if (!problem.empty()) return;
    auto broken = [&](const char* what) {
      problem = "run (" + std::to_string(left) + ", " + std::to_string(top) + ", " +
                std::to_string(right) + ") of a " + std::to_string(width) + "x" +
                std::to_string(height) + " picture " + what;
    };
    if (left < 0 || right > width || left >= right || top < 0 || top >= height) {
      return broken("is not inside the picture");
    }
    if (top > lastTop) return broken("comes after a run of a lower row");
    lastTop = top;
    if (left > 0 && isBlack(left - 1, top)) return broken("does not start at its run's start");
    if (right < width && isBlack(right, top)) return broken("does not end at its run's end");
    uint8_t* cells = covered.data() + static_cast<size_t>(top) * width;
    for (int32_t x = left; x < right; ++x) {
      if (!isBlack(x, top)) return broken("takes a pixel that is not black");
      if (cells[x]) return broken("overlaps another run");
      cells[x] = 1;
    }
  });
  if (runs) *runs = count;
  if (!problem.empty()) return problem;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (isBlack(x, y) && !covered[static_cast<size_t>(y) * width + x]) {
        return "black pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is in no run";
      }
  return "";
}

FuzzPicture::FuzzPicture(const uint8_t* data, size_t size) {
  if (size < 4) return;
  width = (data[0] | data[1] << 8) % 64;
  height = (data[2] | data[3] << 8) % 64;
  stride = PictureStride(width);
  if (width == 0 || height == 0) return;
  const size_t bytes = static_cast<size_t>(stride * (height - 1) + 3 * width);
  bits = static_cast<uint8_t*>(std::calloc(bytes, 1));  // padding stays black
  const uint8_t* pixels = data + 4;
  const size_t count = size - 4;
  size_t next = 0;
  for (int32_t r = 0; r < height; ++r)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = bits + r * stride + 3 * x;
      const uint8_t b = count ? pixels[next++ % count] : 0;
      for (int c = 0; c < 3; ++c) p[c] = (b < 0x80 || (b >> c & 1)) ? 0 : b;
    }
}

FuzzPicture::~FuzzPicture() { std::free(bits); }

void FailIfBroken(const std::string& problem, const char* target) {
  if (problem.empty()) return;
  std::fprintf(stderr, "%s: broken promise: %s\n", target, problem.c_str());
  std::abort();
}
