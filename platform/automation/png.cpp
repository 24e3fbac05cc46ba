/*
 * The PNG writer behind screenshots: 8-bit RGB, no interlace, every row
 * with filter type 0, the whole image in one zlib stream in one IDAT chunk.
 * Chunk CRCs come from zlib's crc32, which is the CRC the PNG format names.
 * The file is written beside its final name and renamed over it, so that
 * a reader never sees half a picture.
 */
#include "layer.h"

#include <stdio.h>
#include <zlib.h>

namespace layer {

static void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back((uint8_t)(v >> 24));
    out.push_back((uint8_t)(v >> 16));
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
}

static void Chunk(std::vector<uint8_t> &out, const char type[4], const uint8_t *data, size_t size)
{
    Put32(out, (uint32_t)size);
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + start, (uInt)(out.size() - start));
    Put32(out, (uint32_t)crc);
}

bool WritePng(const char *path, const Surface &surface)
{
    if (!path || surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() != (size_t)surface.width * surface.height)
        return false;
    size_t rowBytes = (size_t)surface.width * 3 + 1;
    std::vector<uint8_t> raw(rowBytes * surface.height);
    for (int y = 0; y < surface.height; y++) {
        uint8_t *row = raw.data() + (size_t)y * rowBytes;
        row[0] = 0;
        const uint32_t *src = surface.pixels.data() + (size_t)y * surface.width;
        for (int x = 0; x < surface.width; x++) {
            row[1 + 3 * x] = (uint8_t)(src[x] >> 16);
            row[2 + 3 * x] = (uint8_t)(src[x] >> 8);
            row[3 + 3 * x] = (uint8_t)src[x];
        }
    }
    uLongf packedSize = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), (uLong)raw.size(), 6) != Z_OK)
        return false;

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, (uint32_t)surface.width);
    Put32(header, (uint32_t)surface.height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); /* depth 8, RGB, deflate, filter 0, no interlace */
    Chunk(file, "IHDR", header.data(), header.size());
    Chunk(file, "IDAT", packed.data(), packedSize);
    Chunk(file, "IEND", nullptr, 0);

    std::string temp = std::string(path) + ".part";
    FILE *f = fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
    ok = fclose(f) == 0 && ok;
    if (ok)
        ok = rename(temp.c_str(), path) == 0;
    if (!ok)
        remove(temp.c_str());
    return ok;
}

} // namespace layer
