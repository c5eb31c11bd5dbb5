#include "tests/support/iff_files.hpp"

namespace quorvel::testing {
namespace {

void Put16(IffBytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void Put32(IffBytes& b, uint32_t v) {
  Put16(b, v >> 16);
  Put16(b, v);
}

// ByteRun1: runs of three or more equal bytes repeated, the rest copied.
void PackRow(const uint8_t* row, size_t size, IffBytes& out) {
  size_t i = 0;
  while (i < size) {
    size_t run = 1;
    while (i + run < size && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 3) {
      out.push_back(uint8_t(1 - int32_t(run)));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    size_t literal = 0;
    while (i + literal < size && literal < 128 &&
           !(i + literal + 2 < size && row[i + literal] == row[i + literal + 1] &&
             row[i + literal] == row[i + literal + 2])) {
      ++literal;
    }
    out.push_back(uint8_t(literal - 1));
    out.insert(out.end(), row + i, row + i + literal);
    i += literal;
  }
}

}  // namespace

IffBytes IffChunk(std::string_view id, const IffBytes& body) {
  IffBytes b(id.begin(), id.end());
  Put32(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}

IffBytes CrngChunk(int16_t rate, int16_t flags, uint8_t low, uint8_t high) {
  IffBytes body;
  Put16(body, 0);
  Put16(body, uint16_t(rate));
  Put16(body, uint16_t(flags));
  body.insert(body.end(), {low, high});
  return IffChunk("CRNG", body);
}

IffBytes CcrtChunk(int16_t direction, uint8_t start, uint8_t end, int32_t seconds, int32_t microseconds) {
  IffBytes body;
  Put16(body, uint16_t(direction));
  body.insert(body.end(), {start, end});
  Put32(body, uint32_t(seconds));
  Put32(body, uint32_t(microseconds));
  Put16(body, 0);
  return IffChunk("CCRT", body);
}

IffBytes DrngChunk(uint8_t min, uint8_t max, int16_t rate, int16_t flags,
                   const std::vector<std::array<uint8_t, 4>>& trueCells,
                   const std::vector<std::array<uint8_t, 2>>& registerCells) {
  IffBytes body{min, max};
  Put16(body, uint16_t(rate));
  Put16(body, uint16_t(flags));
  body.push_back(uint8_t(trueCells.size()));
  body.push_back(uint8_t(registerCells.size()));
  for (const auto& c : trueCells) body.insert(body.end(), c.begin(), c.end());
  for (const auto& c : registerCells) body.insert(body.end(), c.begin(), c.end());
  return IffChunk("DRNG", body);
}

IffBytes IffFile(const IffPicture& picture, const std::vector<IffBytes>& chunks, const std::vector<IffBytes>& after) {
  IffBytes bmhd;
  Put16(bmhd, uint32_t(picture.width));
  Put16(bmhd, uint32_t(picture.height));
  Put32(bmhd, 0);                               // x, y
  bmhd.insert(bmhd.end(), {picture.planes, picture.masking, 0, 0});  // uncompressed, pad
  Put16(bmhd, picture.transparentColour);
  bmhd.insert(bmhd.end(), {picture.xAspect, picture.yAspect});
  Put16(bmhd, uint32_t(picture.width));
  Put16(bmhd, uint32_t(picture.height));
  IffBytes cmap;
  for (const Rgb8& c : picture.palette.colors) cmap.insert(cmap.end(), {c.r, c.g, c.b});
  if (picture.byteRun1) bmhd[10] = 1;
  IffBytes body;
  const auto put = [&](const IffBytes& row) {
    if (picture.byteRun1) {
      PackRow(row.data(), row.size(), body);
    } else {
      body.insert(body.end(), row.begin(), row.end());
    }
  };
  const int32_t w = picture.width;
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.pixels.data() + size_t(y) * size_t(w);
    if (!picture.planar) {
      IffBytes chunky(row, row + w);
      if (w & 1) chunky.push_back(0);
      put(chunky);
      continue;
    }
    const int32_t rowBytes = (w + 15) / 16 * 2;
    for (int32_t plane = 0; plane < picture.planes; ++plane) {
      IffBytes bits(size_t(rowBytes), 0);
      for (int32_t x = 0; x < w; ++x) {
        if (row[x] >> plane & 1) bits[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
      }
      put(bits);
    }
    if (picture.masking == 1) put(IffBytes(size_t(rowBytes), 0xFF));
  }
  IffBytes form = IffChunk("BMHD", bmhd);
  const IffBytes cm = IffChunk("CMAP", cmap);
  form.insert(form.end(), cm.begin(), cm.end());
  for (const IffBytes& c : chunks) form.insert(form.end(), c.begin(), c.end());
  const IffBytes bd = IffChunk("BODY", body);
  form.insert(form.end(), bd.begin(), bd.end());
  for (const IffBytes& c : after) form.insert(form.end(), c.begin(), c.end());
  IffBytes file{'F', 'O', 'R', 'M'};
  Put32(file, uint32_t(form.size() + 4));
  file.insert(file.end(), picture.planar ? "ILBM" : "PBM ", (picture.planar ? "ILBM" : "PBM ") + 4);
  file.insert(file.end(), form.begin(), form.end());
  return file;
}

}  // namespace quorvel::testing
