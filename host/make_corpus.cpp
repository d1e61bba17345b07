// Writes the fuzz targets' seed inputs: make_corpus OUT_DIR fills
// OUT_DIR/<target>/seed-* with small valid files of every form and typical
// Setup.ini texts. Fixed names, so running it again only rewrites the seeds.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/unit/picture_files.h"

namespace {

namespace fs = std::filesystem;

fs::path outDir;
int written = 0;

void Seed(const char* target, const std::string& name, const Bytes& bytes) {
  const fs::path dir = outDir / target;
  fs::create_directories(dir);
  std::ofstream file(dir / ("seed-" + name), std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::fprintf(stderr, "make_corpus: cannot write %s\n", (dir / name).c_str());
    std::exit(1);
  }
  ++written;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The BMP and PNG targets take a first byte that picks the form (bit 0: scrambled).
Bytes WithForm(bool scrambled, const Bytes& file) {
  Bytes out{static_cast<uint8_t>(scrambled ? 1 : 0)};
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

TestPicture WithBlack(TestPicture p) {
  for (size_t i = 0; i < p.pixels.size(); i += 3) p.pixels[i] = {0, 0, 0};
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus OUT_DIR\n");
    return 2;
  }
  outDir = argv[1];

  // Setup.ini: Shift-JIS with CR LF as skins ship it, and the uninstall record.
  const std::string skin =
      "Caption=\x83\x65\x83X\x83g\x83Z\x83\x62\x83g\x83\x41\x83\x62\x83v\r\n"
      "TitleBarX=0\r\nTitleBarY=0\r\nTitleBarWidth=400\r\nTitleBarHeight=40\r\n"
      "InstallButtonX=20\r\nInstallButtonY=250\r\nUninstallButtonX=150\r\n"
      "UninstallButtonY=250\r\nExitButtonX=280\r\nExitButtonY=250\r\n"
      "ProgressBarX=100\r\nProgressBarY=200\r\nUninstallIni=TestSetup.ini\r\n"
      "AutoStart=1\r\nAutoStartPath=bin\\\x95\\\x8e\\x86.exe\r\n"
      "AutoStartText=\x8b\x4e\x93\xae\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48\r\n";
  Seed("fuzz_setup_ini", "skin.ini", Text(skin));
  Seed("fuzz_setup_ini", "skin-lf.ini",
       Text("; layout\nCaption=Demo\nTitleBarX= 5\nTitleBarY=-7\nTitleBarWidth=99999999999\n"));
  Seed("fuzz_setup_ini", "record.ini", Text("InstallDirectory=C:\\Program Files\\\x83\\\x83t\\\x83g"));
  Seed("fuzz_setup_ini", "broken.ini", Text("Caption=x\r\n[Setup]\r\nA=1\r\n"));
  Seed("fuzz_setup_ini", "edges.ini",
       Text("=a=b\r A = 1 \n\x83;=v\nA=\x83\r\nB=\x82\xA0" + std::string(300, 'v') + "\n;c"));
  // UTF-8, with the byte order mark and without: "ほし=ぞら", an emoji, a cut character.
  Seed("fuzz_setup_ini", "utf8.ini",
       Text("\xEF\xBB\xBF" "Caption=\xE3\x81\xBB\xE3\x81\x97\r\n\xE3\x81\xBB=\xF0\x9F\x98\x80\r\n"));
  Seed("fuzz_setup_ini", "utf8-nobom.ini",
       Text("A=" + std::string(257, 'a') + "\xE3\x81\xBB\nB=\xE3\x81\x9E\xE3\x82\x89\n"));

  const TestPicture small = Gradient(5, 3);
  const TestPicture odd = WithBlack(Gradient(7, 5));
  Seed("fuzz_bmp", "5x3.bmp", WithForm(false, MakeBmp(small)));
  Seed("fuzz_bmp", "7x5-topdown.bmp", WithForm(false, MakeBmp(odd, true)));
  Seed("fuzz_bmp", "5x3.ieg", WithForm(true, ScrambleBmp(MakeBmp(small))));
  Seed("fuzz_bmp", "8bit.bmp", WithForm(false, MakeBmpOfDepth(4, 4, 8)));

  Seed("fuzz_png", "5x3.png", WithForm(false, MakePng(small)));
  Seed("fuzz_png", "7x5-rgba16.png", WithForm(false, MakePng(odd, 6, 16)));
  Seed("fuzz_png", "7x5-interlaced.png", WithForm(false, MakePng(odd, 2, 8, true)));
  Seed("fuzz_png", "5x3.iep", WithForm(true, ScrambleAll(MakePng(small))));
  Seed("fuzz_png", "palette.png", WithForm(false, MakePalettePng(4, 4)));
  Seed("fuzz_png", "grey.png", WithForm(false, MakeGreyPng(4, 4)));

  Seed("fuzz_jpeg", "5x3.jpg", MakeJpeg(small));
  Seed("fuzz_jpeg", "7x5-grey.jpg", MakeJpeg(odd, true));
  Seed("fuzz_jpeg", "5x3.iej", ScrambleAll(MakeJpeg(small)));
  Seed("fuzz_jpeg", "cmyk.jpg", MakeJpeg(small, false, true));

  // Black runs: width, height (little-endian), then one byte a pixel.
  Seed("fuzz_black_runs", "outline", {6, 0, 4, 0, 0, 0, 0xF0, 0xF0, 0, 0, 0, 0xF0, 0xF0, 0xF0, 0xF0, 0});
  Seed("fuzz_black_runs", "all-black", {13, 0, 3, 0, 0});
  Seed("fuzz_black_runs", "near-black", {5, 0, 2, 0, 0x81, 0x82, 0x84, 0x87, 0x00});

  // The skin checker reads its Setup.ini first, as a string that ends at a
  // backslash followed by another byte (a doubled backslash stands for one),
  // then files: kept short here, the fuzzer grows them.
  std::string escaped;
  for (char c : skin + "InstallDest=MyApp\r\nCreateDirectory0=MyApp\r\n") {
    escaped += c;
    if (c == '\\') escaped += '\\';
  }
  Seed("fuzz_skin_check", "skin", Text(escaped + "\\x" + std::string(6, '\x01')));

  std::printf("make_corpus: %d seeds under %s\n", written, outDir.c_str());
  return 0;
}
