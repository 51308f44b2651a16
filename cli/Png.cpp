// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Png.h"

#include "core/landxml/Error.h"

#include <algorithm>
#include <zlib.h>

namespace tidycli {

namespace {

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

// Appends a chunk: length, type, data, and the CRC over type and data.
void putChunk(std::string& out, const char (&type)[5], const std::string& data) {
    putBigEndian(out, std::uint32_t(data.size()));
    const std::size_t crcFrom = out.size();
    out.append(type, 4);
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + crcFrom);
    putBigEndian(out, std::uint32_t(crc32(0L, bytes, uInt(out.size() - crcFrom))));
}

// Feeds what `stream` holds to deflate, growing `out` whenever it fills.
int deflateInto(z_stream& stream, std::string& out, int flush) {
    for (;;) {
        if (stream.avail_out == 0) {
            const std::size_t used = stream.total_out;
            out.resize(out.size() * 2);
            stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            stream.avail_out = uInt(out.size() - used);
        }
        const int status = deflate(&stream, flush);
        if (status == Z_STREAM_ERROR || status == Z_STREAM_END)
            return status;
        if (stream.avail_out != 0 && flush != Z_FINISH)
            return status;
    }
}

// Each row goes in with filter type 0 ("none"): the fills are long runs of one index, which
// run-length matching at the fastest level packs well, and quickly.
std::string compressRows(const tidy::Picture& picture) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK)
        throw tidy::Error("cannot start the PNG compression");
    std::string out(deflateBound(&stream, uLong(picture.pixels.size()) + uLong(picture.height)),
                    '\0');
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    Bytef filterNone = 0;
    const std::size_t width = std::size_t(picture.width);
    for (int y = 0; y < picture.height; ++y) {
        stream.next_in = &filterNone;
        stream.avail_in = 1;
        deflateInto(stream, out, Z_NO_FLUSH);
        // zlib's input pointer is not const, but deflate only reads through it.
        stream.next_in = const_cast<Bytef*>(picture.pixels.data() + std::size_t(y) * width);
        stream.avail_in = uInt(width);
        deflateInto(stream, out, Z_NO_FLUSH);
    }
    const int status = deflateInto(stream, out, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw tidy::Error("cannot compress the picture");
    return out;
}

} // namespace

std::string encodePng(const tidy::Picture& picture) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    putBigEndian(header, std::uint32_t(picture.width));
    putBigEndian(header, std::uint32_t(picture.height));
    header += std::string("\x08\x03\x00\x00\x00", 5); // 8 bits, palette, deflate, no interlace
    putChunk(png, "IHDR", header);
    // Only as many colours as the picture uses, at least those of an unmarked one, so that a
    // picture without marks stays what it was before there were marks.
    std::size_t colors = tidy::kFirstMark;
    for (const std::uint8_t pixel : picture.pixels)
        colors = std::max(colors, std::size_t(pixel) + 1);
    std::string palette;
    for (std::size_t k = 0; k < colors; ++k)
        for (int shift = 16; shift >= 0; shift -= 8)
            palette += char((tidy::kPicturePalette[k] >> shift) & 0xFF);
    putChunk(png, "PLTE", palette);
    putChunk(png, "IDAT", compressRows(picture));
    putChunk(png, "IEND", {});
    return png;
}

} // namespace tidycli
