// Cross-fades between two palettes, each the default palette, a 768-byte file or a PP256
// file. Both tables are complete before any argument is clamped or register written.
#include "palette/tables.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;

// Listed in the order sources are read: the default palette, then 768-byte files, then
// PP256 files; two files of one format are read from-file first.
enum class Source { Default, File, PP256 };

ColorTable Fill(Source source, const std::string& fileName) {
  switch (source) {
    case Source::File:
      return detail::ReadFilePalTable(fileName);
    case Source::PP256:
      return detail::ReadPP256PalTable(fileName);
    case Source::Default:
      break;
  }
  return detail::DefaultTable();
}

struct Pair {
  ColorTable from;
  ColorTable to;
};

// Reads one file at a time, each closed before the next opens, in the order above.
Pair Tables(Source fromSource, const std::string& fromFile, Source toSource,
            const std::string& toFile) {
  Pair pair;
  if (fromSource <= toSource) {
    pair.from = Fill(fromSource, fromFile);
    pair.to = Fill(toSource, toFile);
  } else {
    pair.to = Fill(toSource, toFile);
    pair.from = Fill(fromSource, fromFile);
  }
  return pair;
}

// The four kinds: a fade over all registers, a fade over first..last, one mix at a level
// over all registers, and that mix over first..last.
void Fade(const Pair& p, const int32_t& speed) { detail::Animate(p.from, p.to, 0, 255, speed); }

void RangeFade(const Pair& p, int32_t& first, int32_t& last, const int32_t& speed) {
  ClampRange(first, last);
  detail::Animate(p.from, p.to, first, last, speed);
}

void MixAt(const Pair& p, int32_t& level) {
  ClampComponent(level);
  detail::WritePass(p.from, p.to, 0, 255, level);
}

void RangeMixAt(const Pair& p, int32_t& first, int32_t& last, int32_t& level) {
  ClampRange(first, last);
  ClampComponent(level);
  detail::WritePass(p.from, p.to, first, last, level);
}

const std::string kNoFile;

// The default palette against one file of the given format, in either direction.
Pair DefaultTo(Source source, const std::string& fileName) {
  return Tables(Source::Default, kNoFile, source, fileName);
}
Pair DefaultFrom(Source source, const std::string& fileName) {
  return Tables(source, fileName, Source::Default, kNoFile);
}

constexpr Source kFile = Source::File;
constexpr Source kPP256 = Source::PP256;

}  // namespace

// --- the default palette and a 768-byte file ---

void PalFadeToFile::DefaultPal(const std::string& fileName, const int32_t& speed) {
  Fade(DefaultTo(kFile, fileName), speed);
}
void PalFadeFromFile::DefaultPal(const std::string& fileName, const int32_t& speed) {
  Fade(DefaultFrom(kFile, fileName), speed);
}
void PalFadeRangeToFile::DefaultPal(int32_t& first, int32_t& last, const std::string& fileName,
                                    const int32_t& speed) {
  RangeFade(DefaultTo(kFile, fileName), first, last, speed);
}
void PalFadeRangeFromFile::DefaultPal(int32_t& first, int32_t& last,
                                      const std::string& fileName, const int32_t& speed) {
  RangeFade(DefaultFrom(kFile, fileName), first, last, speed);
}
void PalFileFadeCtrl::DefaultPal(int32_t& level, const std::string& fileName) {
  MixAt(DefaultTo(kFile, fileName), level);
}
void PalFileRangeFadeCtrl::DefaultPal(int32_t& first, int32_t& last, int32_t& level,
                                      const std::string& fileName) {
  RangeMixAt(DefaultTo(kFile, fileName), first, last, level);
}

// --- two 768-byte files ---

void PalFadeToFile::FilePal(const std::string& fromFile, const std::string& toFile,
                            const int32_t& speed) {
  Fade(Tables(kFile, fromFile, kFile, toFile), speed);
}
void PalFadeRangeToFile::FilePal(int32_t& first, int32_t& last, const std::string& fromFile,
                                 const std::string& toFile, const int32_t& speed) {
  RangeFade(Tables(kFile, fromFile, kFile, toFile), first, last, speed);
}
void PalFileFadeCtrl::FilePal(int32_t& level, const std::string& fromFile,
                              const std::string& toFile) {
  MixAt(Tables(kFile, fromFile, kFile, toFile), level);
}
void PalFileRangeFadeCtrl::FilePal(int32_t& first, int32_t& last, int32_t& level,
                                   const std::string& fromFile, const std::string& toFile) {
  RangeMixAt(Tables(kFile, fromFile, kFile, toFile), first, last, level);
}

// --- two PP256 files ---

void PalFadeToPP256::PP256Pal(const std::string& fromFile, const std::string& toFile,
                              const int32_t& speed) {
  Fade(Tables(kPP256, fromFile, kPP256, toFile), speed);
}
void PalFadeRangeToPP256::PP256Pal(int32_t& first, int32_t& last, const std::string& fromFile,
                                   const std::string& toFile, const int32_t& speed) {
  RangeFade(Tables(kPP256, fromFile, kPP256, toFile), first, last, speed);
}
void PalPP256FadeCtrl::PP256Pal(int32_t& level, const std::string& fromFile,
                                const std::string& toFile) {
  MixAt(Tables(kPP256, fromFile, kPP256, toFile), level);
}
void PalPP256RangeFadeCtrl::PP256Pal(int32_t& first, int32_t& last, int32_t& level,
                                     const std::string& fromFile, const std::string& toFile) {
  RangeMixAt(Tables(kPP256, fromFile, kPP256, toFile), first, last, level);
}

// --- the default palette and a PP256 file ---

void PalFadeToPP256::DefaultPal(const std::string& fileName, const int32_t& speed) {
  Fade(DefaultTo(kPP256, fileName), speed);
}
void PalFadeFromPP256::DefaultPal(const std::string& fileName, const int32_t& speed) {
  Fade(DefaultFrom(kPP256, fileName), speed);
}
void PalFadeRangeToPP256::DefaultPal(int32_t& first, int32_t& last, const std::string& fileName,
                                     const int32_t& speed) {
  RangeFade(DefaultTo(kPP256, fileName), first, last, speed);
}
void PalFadeRangeFromPP256::DefaultPal(int32_t& first, int32_t& last,
                                       const std::string& fileName, const int32_t& speed) {
  RangeFade(DefaultFrom(kPP256, fileName), first, last, speed);
}
void PalPP256FadeCtrl::DefaultPal(int32_t& level, const std::string& fileName) {
  MixAt(DefaultTo(kPP256, fileName), level);
}
void PalPP256RangeFadeCtrl::DefaultPal(int32_t& first, int32_t& last, int32_t& level,
                                       const std::string& fileName) {
  RangeMixAt(DefaultTo(kPP256, fileName), first, last, level);
}

// --- a 768-byte file and a PP256 file ---

void PalFadeToPP256::FilePal(const std::string& fromFile, const std::string& toFile,
                             const int32_t& speed) {
  Fade(Tables(kFile, fromFile, kPP256, toFile), speed);
}
void PalFadeFromPP256::FilePal(const std::string& fromFile, const std::string& toFile,
                               const int32_t& speed) {
  Fade(Tables(kPP256, fromFile, kFile, toFile), speed);
}
void PalFadeRangeToPP256::FilePal(int32_t& first, int32_t& last, const std::string& fromFile,
                                  const std::string& toFile, const int32_t& speed) {
  RangeFade(Tables(kFile, fromFile, kPP256, toFile), first, last, speed);
}
void PalFadeRangeFromPP256::FilePal(int32_t& first, int32_t& last, const std::string& fromFile,
                                    const std::string& toFile, const int32_t& speed) {
  RangeFade(Tables(kPP256, fromFile, kFile, toFile), first, last, speed);
}
void PalPP256FadeCtrl::FilePal(int32_t& level, const std::string& fromFile,
                               const std::string& toFile) {
  MixAt(Tables(kFile, fromFile, kPP256, toFile), level);
}
void PalPP256RangeFadeCtrl::FilePal(int32_t& first, int32_t& last, int32_t& level,
                                    const std::string& fromFile, const std::string& toFile) {
  RangeMixAt(Tables(kFile, fromFile, kPP256, toFile), first, last, level);
}

}  // namespace quorvel
