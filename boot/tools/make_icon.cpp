// make_icon: draws the product mark of the progress card as Quorlin.exe's icon, seven 32-bit
// images of 16 to 256 pixels (256 as PNG, the rest as bitmaps), and writes the .ico file.
//   make_icon OUT.ico
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "../card.h"
#include "../le_bytes.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int kSamples = 4;  // per axis, for smooth edges at small sizes

using Bytes = std::vector<unsigned char>;

void Put32BigEndian(Bytes* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((v >> shift) & 0xFF);
}

// The mark as the card draws it at 96 DPI: frame, inner square and the three bars.
struct Mark {
  CardFill fills[5];
  CardRect frame;
};

Mark MarkAt96Dpi() {
  CardLayout card;
  LayoutCard(&card, kCardWidth, kCardHeight, kBaseDpi, 0);
  Mark mark;
  for (int i = 0; i < 5; ++i) mark.fills[i] = card.fills[2 + i];
  mark.frame = mark.fills[0].rect;
  return mark;
}

uint32_t ColorAt(const Mark& mark, double x, double y) {
  uint32_t color = mark.fills[0].color;
  for (const CardFill& fill : mark.fills) {
    if (x >= fill.rect.left && x < fill.rect.right && y >= fill.rect.top && y < fill.rect.bottom) color = fill.color;
  }
  return color;
}

// RGBA pixels, top row first.
Bytes Draw(const Mark& mark, int size) {
  const double span = mark.frame.right - mark.frame.left;
  Bytes pixels;
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      uint32_t sum[3] = {0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = mark.frame.left + (px + (sx + 0.5) / kSamples) * span / size;
          const double y = mark.frame.top + (py + (sy + 0.5) / kSamples) * span / size;
          const uint32_t c = ColorAt(mark, x, y);
          sum[0] += (c >> 16) & 0xFF;
          sum[1] += (c >> 8) & 0xFF;
          sum[2] += c & 0xFF;
        }
      }
      constexpr int n = kSamples * kSamples;
      for (uint32_t s : sum) pixels.push_back(static_cast<unsigned char>((s + n / 2) / n));
      pixels.push_back(0xFF);
    }
  }
  return pixels;
}

// A bitmap icon image: header, BGRA rows bottom-up, then an all-opaque AND mask.
Bytes BitmapImage(const Bytes& rgba, int size) {
  Bytes out;
  const uint32_t mask_row = ((size + 31) / 32) * 4;
  PutLE32(&out, 40);
  PutLE32(&out, size);
  PutLE32(&out, size * 2);  // colour rows and mask rows
  PutLE16(&out, 1);
  PutLE16(&out, 32);
  PutLE32(&out, 0);
  PutLE32(&out, size * size * 4 + mask_row * size);
  for (int i = 0; i < 4; ++i) PutLE32(&out, 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const unsigned char* p = &rgba[(y * size + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  out.insert(out.end(), mask_row * size, 0);
  return out;
}

void PngChunk(Bytes* out, const char* type, const Bytes& data) {
  Put32BigEndian(out, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out->insert(out->end(), typed.begin(), typed.end());
  Put32BigEndian(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

Bytes PngImage(const Bytes& rgba, int size) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32BigEndian(&header, size);
  Put32BigEndian(&header, size);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits per channel, RGBA
  PngChunk(&out, "IHDR", header);
  Bytes raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), rgba.begin() + y * size * 4, rgba.begin() + (y + 1) * size * 4);
  }
  uLongf packed_size = compressBound(raw.size());
  Bytes packed(packed_size);
  compress2(packed.data(), &packed_size, raw.data(), raw.size(), 9);
  packed.resize(packed_size);
  PngChunk(&out, "IDAT", packed);
  PngChunk(&out, "IEND", {});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUT.ico\n");
    return 2;
  }
  const Mark mark = MarkAt96Dpi();
  std::vector<Bytes> images;
  for (int size : kSizes) {
    const Bytes rgba = Draw(mark, size);
    images.push_back(size == 256 ? PngImage(rgba, size) : BitmapImage(rgba, size));
  }
  Bytes ico;
  PutLE16(&ico, 0);
  PutLE16(&ico, 1);  // icon
  PutLE16(&ico, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    ico.push_back(kSizes[i] == 256 ? 0 : kSizes[i]);  // 0 stands for 256
    ico.push_back(kSizes[i] == 256 ? 0 : kSizes[i]);
    ico.push_back(0);  // no palette
    ico.push_back(0);
    PutLE16(&ico, 1);   // planes
    PutLE16(&ico, 32);  // bits per pixel
    PutLE32(&ico, static_cast<uint32_t>(images[i].size()));
    PutLE32(&ico, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) ico.insert(ico.end(), image.begin(), image.end());
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(ico.data(), 1, ico.size(), out) != ico.size() || std::fclose(out) != 0) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
