#include "rc_images.h"

#include <cstdint>

#include "simwin/util.h"

namespace simwin::rc {

namespace {

// --- Little-endian reading of binary resources -------------------------------------------------------------

class Bytes {
public:
    Bytes(const std::string& data, std::string what) : d_(data), what_(std::move(what)) {}
    size_t size() const { return d_.size(); }
    uint32_t u8(size_t at) const { return need(at, 1), static_cast<unsigned char>(d_[at]); }
    uint32_t u16(size_t at) const { return need(at, 2), u8(at) | (u8(at + 1) << 8); }
    uint32_t u32(size_t at) const { return need(at, 4), u16(at) | (u16(at + 2) << 16); }
    int32_t s32(size_t at) const { return static_cast<int32_t>(u32(at)); }
    void need(size_t at, size_t n) const {
        if (at > d_.size() || n > d_.size() - at) fail("is cut short");
    }
    [[noreturn]] void fail(const std::string& what) const { throw MachineError(what_ + " " + what); }

private:
    const std::string& d_;
    std::string what_;
};

// A device-independent bitmap: the BITMAPINFOHEADER at infoAt, the pixels at pixelsAt (npos: right
// after the header and colour table, as in a BITMAP resource).
void decodeDib(const Bytes& b, size_t infoAt, size_t pixelsAt, BitmapResource& out) {
    uint32_t headerSize = b.u32(infoAt);
    if (headerSize < 40) b.fail("has a header of " + std::to_string(headerSize) + " bytes (BITMAPINFOHEADER needed)");
    int32_t width = b.s32(infoAt + 4), height = b.s32(infoAt + 8);
    uint32_t bits = b.u16(infoAt + 14), compression = b.u32(infoAt + 16), used = b.u32(infoAt + 32);
    if (compression != 0) b.fail("is compressed (only BI_RGB bitmaps are read)");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        b.fail("has " + std::to_string(bits) + " bits per pixel");
    if (width <= 0 || height == 0 || width > 0x8000 || height > 0x8000 || height < -0x8000)
        b.fail("has a size of " + std::to_string(width) + "x" + std::to_string(height));
    uint32_t colours = bits <= 8 ? (used ? used : 1u << bits) : used;
    if (colours > 256) b.fail("has a colour table of " + std::to_string(colours) + " entries");
    size_t tableAt = infoAt + headerSize;
    std::vector<uint32_t> table(colours);
    for (uint32_t i = 0; i < colours; ++i)
        table[i] = b.u8(tableAt + 4 * i + 2) << 16 | b.u8(tableAt + 4 * i + 1) << 8 | b.u8(tableAt + 4 * i);
    if (pixelsAt == std::string::npos) pixelsAt = tableAt + 4 * static_cast<size_t>(colours);
    bool bottomUp = height > 0;
    int rows = bottomUp ? height : -height;
    size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    b.need(pixelsAt, stride * rows);
    out.width = width;
    out.height = rows;
    out.bitsPerPixel = static_cast<int>(bits);
    out.pixels.assign(static_cast<size_t>(width) * rows, 0);
    for (int y = 0; y < rows; ++y) {
        size_t row = pixelsAt + stride * (bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            if (bits <= 8) {
                uint32_t byte = b.u8(row + x * bits / 8);
                uint32_t index = (byte >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
                if (index >= colours) b.fail("has a pixel outside its colour table");
                pixel = table[index];
            } else if (bits == 16) {
                uint32_t v = b.u16(row + 2 * x);
                pixel = ((v >> 10) & 31) * 255 / 31 << 16 | ((v >> 5) & 31) * 255 / 31 << 8 | (v & 31) * 255 / 31;
            } else {
                size_t at = row + x * (bits / 8);
                pixel = b.u8(at + 2) << 16 | b.u8(at + 1) << 8 | b.u8(at);
            }
            out.pixels[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
}

}  // namespace

void decodeBmpFile(const std::string& data, const std::string& what, BitmapResource& out) {
    Bytes b(data, what);
    if (b.size() < 2 || data.compare(0, 2, "BM") != 0) b.fail("is not a .bmp file");
    decodeDib(b, 14, b.u32(10), out);
}

void decodeDibResource(const std::string& data, const std::string& what, BitmapResource& out) {
    decodeDib(Bytes(data, what), 0, std::string::npos, out);
}

void decodeIcoFile(const std::string& data, const std::string& what, IconResource& out) {
    Bytes b(data, what);
    if (b.u16(0) != 0 || b.u16(2) != 1) b.fail("is not an .ico file");
    uint32_t count = b.u16(4);
    if (count == 0) b.fail("holds no image");
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t bytes = b.u32(entry + 8), offset = b.u32(entry + 12);
        b.need(offset, bytes);
        uint32_t bitCount = b.u16(entry + 6);
        if (bitCount == 0 && bytes >= 16 && b.u32(offset) >= 40) bitCount = b.u16(offset + 14);
        out.sizes.push_back({b.u8(entry) ? b.u8(entry) : 256, b.u8(entry + 1) ? b.u8(entry + 1) : 256});
        out.bitCounts.push_back(static_cast<int>(bitCount));
    }
}

// The RT_GROUP_ICON directory that the resource compiler makes of an .ico file.
void decodeGroupIcon(const std::string& data, const std::string& what, IconResource& out) {
    Bytes b(data, what);
    if (b.u16(0) != 0 || b.u16(2) != 1) b.fail("is not an icon directory");
    uint32_t count = b.u16(4);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 14 * i;
        out.sizes.push_back({b.u8(entry) ? b.u8(entry) : 256, b.u8(entry + 1) ? b.u8(entry + 1) : 256});
        out.bitCounts.push_back(static_cast<int>(b.u16(entry + 6)));
    }
}

}  // namespace simwin::rc
