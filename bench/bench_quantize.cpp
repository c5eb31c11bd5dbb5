// The quantizer as a program the quantizing benchmark times beside its peers, and the
// measure it compares them by:
//   bench_quantize quantize <picture> <out.bmp> [dithering]   256 colours, Floyd-Steinberg by default
//   bench_quantize compare <original> <result>                mean OKLab difference
// The result is written as a 24-bit BMP, which every tool reads.
#include <quorvel/quantize.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "bench_quantize: %s\n", message.c_str());
  return 1;
}

// A 24-bit BMP, bottom row first, each row padded to 4 bytes: a file every tool reads.
bool WriteBmp(const std::string& path, const quorvel::RgbaPicture& picture) {
  const uint32_t stride = (uint32_t(picture.width) * 3 + 3) / 4 * 4;
  const uint32_t pixelBytes = stride * uint32_t(picture.height);
  std::vector<uint8_t> bytes;
  const auto u16 = [&](uint32_t v) { bytes.push_back(uint8_t(v)), bytes.push_back(uint8_t(v >> 8)); };
  const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  bytes.push_back('B'), bytes.push_back('M');
  u32(54 + pixelBytes), u32(0), u32(54);
  u32(40), u32(uint32_t(picture.width)), u32(uint32_t(picture.height)), u16(1), u16(24);
  u32(0), u32(pixelBytes), u32(2835), u32(2835), u32(0), u32(0);
  for (int32_t y = picture.height - 1; y >= 0; --y) {
    const size_t start = bytes.size();
    for (int32_t x = 0; x < picture.width; ++x) {
      const quorvel::Rgba8& p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
      bytes.push_back(p.b), bytes.push_back(p.g), bytes.push_back(p.r);
    }
    bytes.resize(start + stride, 0);
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "quantize" && (argc == 4 || argc == 5)) {
    const quorvel::RgbaReadResult read = quorvel::LoadRgbaPicture(argv[2]);
    if (!read.ok()) return Fail(read.error);
    quorvel::QuantizeOptions options;
    if (argc == 5 && !quorvel::DitherFromName(argv[4], options.dither)) return Fail(std::string("no dithering ") + argv[4]);
    const quorvel::QuantizeResult result = quorvel::Quantize(read.picture, options);
    if (!result.ok()) return Fail(result.error);
    if (!WriteBmp(argv[3], quorvel::ExpandIndexedPicture(result.picture))) return Fail(std::string("cannot write ") + argv[3]);
    return 0;
  }
  if (mode == "compare" && argc == 4) {
    const quorvel::RgbaReadResult original = quorvel::LoadRgbaPicture(argv[2]);
    if (!original.ok()) return Fail(original.error);
    const quorvel::RgbaReadResult result = quorvel::LoadRgbaPicture(argv[3]);
    if (!result.ok()) return Fail(result.error);
    const double difference = quorvel::MeanOkLabDifference(original.picture, result.picture);
    if (difference < 0) return Fail("the pictures differ in size");
    std::printf("%.6f\n", difference);
    return 0;
  }
  return Fail("usage: bench_quantize quantize <picture> <out.bmp> [dithering] | compare <original> <result>");
}
