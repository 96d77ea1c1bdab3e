// The TIFF reader; see tiff_reader.h.
#include "imagelib/tiff_reader.h"

#include <new>

#include "imagelib/ras_embed.h"
#include "platform/mem.h"

namespace {

// Field types of directory entries.
enum : uint16_t {
    kTypeByte = 1,
    kTypeAscii = 2,
    kTypeShort = 3,
    kTypeLong = 4,
    kTypeRational = 5,
    kTypeUndefined = 7,
};

enum : uint16_t {
    kTagNewSubfileType = 254,
    kTagImageWidth = 256,
    kTagImageLength = 257,
    kTagBitsPerSample = 258,
    kTagCompression = 259,
    kTagPhotometric = 262,
    kTagStripOffsets = 273,
    kTagSamplesPerPixel = 277,
    kTagRowsPerStrip = 278,
    kTagStripByteCounts = 279,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagPlanarConfig = 284,
    kTagGreyResponseUnit = 290,
    kTagT4Options = 292,
    kTagT6Options = 293,
    kTagResolutionUnit = 296,
    kTagPageNumber = 297,
    kTagColourResponseUnit = 300,
    kTagPredictor = 317,
    kTagColourMap = 320,
    kTagTileWidth = 322,
    kTagTileLength = 323,
    kTagTileOffsets = 324,
    kTagTileByteCounts = 325,
    kTagInkSet = 332,
    kTagIptc = 33723,
    kTagIccProfile = 34675,
};

constexpr uint32_t kColourMapEntries = 768;

uint32_t gStripBufferLimit = 0xFFFFFFFFu - kMemOverhead;

uint16_t Get16(const TiffDir* dir, const uint8_t* p) {
    return dir->bigEndian ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
}

uint32_t Get32(const TiffDir* dir, const uint8_t* p) {
    if (dir->bigEndian) {
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    }
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint32_t TypeSize(uint16_t type) {
    switch (type) {
        case 1:
        case 2:
        case 6:
        case 7:
            return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
        case 3:
        case 8:
            return 2;  // SHORT, SSHORT
        case 4:
        case 9:
        case 11:
            return 4;  // LONG, SLONG, FLOAT
        case 5:
        case 10:
        case 12:
            return 8;  // RATIONAL, SRATIONAL, DOUBLE
        default:
            return 0;
    }
}

bool IsIntegerType(uint16_t type) {
    return type == kTypeByte || type == kTypeShort || type == kTypeLong;
}

// Positions the file at an absolute offset; an offset past the end of the file is a failed
// seek, whatever the file layer would make of it.
int32_t SeekTo(TiffState* st, uint64_t offset) {
    if (offset > uint64_t(st->fileSize)) return kStatusFileSeek;
    return FLSeek(&st->file, int32_t(offset), 0) == kStatusOk ? kStatusOk : kStatusFileSeek;
}

// Reads n bytes at an absolute offset. Data that would reach past the end of the file is a
// short read, found before anything is read.
int32_t ReadAt(TiffState* st, uint64_t offset, void* buffer, uint64_t n) {
    int32_t status = SeekTo(st, offset);
    if (status != kStatusOk) return status;
    if (n > uint64_t(st->fileSize) - offset) return kStatusFileRead;
    if (n == 0) return kStatusOk;
    int32_t count = int32_t(n);
    return FLRead(&st->file, buffer, &count, 1) == kStatusOk ? kStatusOk : kStatusFileRead;
}

// Reads n bytes at an offset taken from a directory entry and puts the file position back
// where it was, so that the entries that follow are read in turn.
int32_t ReadAtRestoring(TiffState* st, uint32_t offset, uint8_t* out, uint64_t n) {
    int32_t saved;
    if (FLTell(&st->file, &saved) != kStatusOk) return kStatusFileSeek;
    int32_t status = ReadAt(st, offset, out, n);
    if (status == kStatusOk && FLSeek(&st->file, saved, 0) != kStatusOk) status = kStatusFileSeek;
    return status;
}

// Fetches the raw bytes of an entry's value: from the value field itself when they fit in its
// four bytes (left-justified, in stored order, whatever the byte order), otherwise from the
// offset the field holds.
int32_t FetchValue(TiffState* st, const TiffEntry* e, uint8_t* out, uint64_t bytes) {
    if (bytes <= 4) {
        Mem_Copy(out, e->value, size_t(bytes));
        return kStatusOk;
    }
    return ReadAtRestoring(st, Get32(&st->dir, e->value), out, bytes);
}

// Decodes an integer entry (BYTE, SHORT, LONG) into a new array of count 32-bit values. The
// byte count is checked against the file's size before anything is allocated, so a hostile
// count cannot ask for more memory than the file could describe.
int32_t ReadIntArray(TiffState* st, const TiffEntry* e, uint32_t** array, uint32_t* count) {
    uint32_t size = TypeSize(e->type);
    uint64_t bytes = uint64_t(e->count) * size;
    if (bytes > 4 && bytes > uint64_t(st->fileSize)) return kStatusFileRead;
    MemBlock<uint8_t> raw;
    MemBlock<uint32_t> values;
    if (!raw.Allocate(uint32_t(bytes)) || !values.Allocate(e->count)) return kStatusNoMemory;
    int32_t status = FetchValue(st, e, raw.get(), bytes);
    if (status != kStatusOk) return status;
    for (uint32_t i = 0; i < e->count; ++i) {
        const uint8_t* p = raw.get() + uint64_t(i) * size;
        values[i] = size == 1 ? p[0] : size == 2 ? Get16(&st->dir, p) : Get32(&st->dir, p);
    }
    Mem_Free(*array);
    *array = values.Release();
    *count = e->count;
    return kStatusOk;
}

// The first value of an integer entry, wherever it stands.
int32_t ReadFirstInt(TiffState* st, const TiffEntry* e, uint32_t* v) {
    uint32_t size = TypeSize(e->type);
    uint8_t raw[4];
    const uint8_t* p = e->value;
    if (uint64_t(e->count) * size > 4) {
        int32_t status = ReadAtRestoring(st, Get32(&st->dir, e->value), raw, size);
        if (status != kStatusOk) return status;
        p = raw;
    }
    *v = size == 1 ? p[0] : size == 2 ? Get16(&st->dir, p) : Get32(&st->dir, p);
    return kStatusOk;
}

uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

int32_t ReadRational(TiffState* st, const TiffEntry* e, uint32_t out[2]) {
    uint8_t raw[8];
    int32_t status = FetchValue(st, e, raw, 8);
    if (status != kStatusOk) return status;
    out[0] = Get32(&st->dir, raw);
    out[1] = Get32(&st->dir, raw + 4);
    return kStatusOk;
}

// Reads a byte-string value into a new block, leaving `room` bytes free in front of it.
int32_t ReadBytes(TiffState* st, const TiffEntry* e, uint32_t room, uint8_t** block,
                  uint32_t* size) {
    uint64_t bytes = uint64_t(e->count) * TypeSize(e->type);
    if (bytes > uint64_t(st->fileSize)) return kStatusFileRead;
    MemBlock<uint8_t> data;
    if (!data.Allocate(uint32_t(bytes + room))) return kStatusNoMemory;
    int32_t status = FetchValue(st, e, data.get() + room, bytes);
    if (status != kStatusOk) return status;
    Mem_Free(*block);
    *block = data.Release();
    *size = uint32_t(bytes);
    return kStatusOk;
}

int32_t ReadColourMap(TiffState* st, const TiffEntry* e) {
    uint8_t raw[kColourMapEntries * 2];
    int32_t status = FetchValue(st, e, raw, sizeof raw);
    if (status != kStatusOk) return status;
    MemBlock<uint16_t> map;
    if (!map.Allocate(kColourMapEntries)) return kStatusNoMemory;
    for (uint32_t i = 0; i < kColourMapEntries; ++i) map[i] = Get16(&st->dir, raw + 2 * i);
    Mem_Free(st->dir.colourMap);
    st->dir.colourMap = map.Release();
    return kStatusOk;
}

void FreeDir(TiffDir* dir) {
    Mem_Free(dir->stripOffsets);
    Mem_Free(dir->stripByteCounts);
    Mem_Free(dir->colourMap);
    Mem_Free(dir->tileOffsets);
    Mem_Free(dir->tileByteCounts);
    Mem_Free(dir->iptcBlock);
    Mem_Free(dir->profile);
    *dir = TiffDir();
}

void FreeState(TiffState* st) {
    if (st->file.kind != kFLKindNotOpen) FLClose(&st->file);
    FreeDir(&st->dir);
    Mem_Free(st->stripBuffer);
    Mem_Free(st->rowBuffer);
    st->stripBuffer = nullptr;
    st->rowBuffer = nullptr;
}

int32_t CheckCommon(const TiffDir* d, uint16_t bits, bool sixteen) {
    if (d->compression != 1) return kStatusUnsupported;
    if (d->stripOffsets == nullptr || d->stripByteCounts == nullptr) return kStatusUnsupported;
    if (d->width == 0 || d->height == 0 || d->rowsPerStrip == 0) return kStatusUnsupported;
    if (d->planarConfig != 1 && d->planarConfig != 2) return kStatusUnsupported;
    uint32_t p = d->photometric;
    switch (d->samplesPerPixel) {
        case 1:
            if (d->bitsPerSample[0] != bits) return kStatusUnsupported;
            if (p == 0 || p == 1) return kStatusOk;
            if (p == 3 && !sixteen) return d->colourMap != nullptr ? kStatusOk : kStatusUnsupported;
            return kStatusUnsupported;
        case 3:
            for (int i = 0; i < 3; ++i) {
                if (d->bitsPerSample[i] != bits) return kStatusUnsupported;
            }
            if (p == 2 || (!sixteen && (p == 8 || p == 9))) return kStatusOk;
            return kStatusUnsupported;
        case 4:
            for (int i = 0; i < 4; ++i) {
                if (d->bitsPerSample[i] != bits) return kStatusUnsupported;
            }
            return p == 5 ? kStatusOk : kStatusUnsupported;
        default:
            return kStatusUnsupported;
    }
}

bool Planar(const TiffDir* d) {
    return d->planarConfig == 2 && d->samplesPerPixel > 1;
}
uint32_t PlaneCount(const TiffDir* d) {
    return Planar(d) ? d->samplesPerPixel : 1;
}

// Reads the header and the first directory into the state's record.
int32_t ReadDirectory(TiffState* st) {
    uint8_t header[8];
    int32_t status = ReadAt(st, 0, header, 8);
    if (status != kStatusOk) return status;
    if (header[0] == 'I' && header[1] == 'I') {
        st->dir.bigEndian = 0;
    } else if (header[0] == 'M' && header[1] == 'M') {
        st->dir.bigEndian = 1;
    } else {
        return kStatusFormat;
    }
    if (Get16(&st->dir, header + 2) != 42) return kStatusFormat;
    status = SeekTo(st, Get32(&st->dir, header + 4));
    if (status != kStatusOk) return status;
    uint8_t raw[2];
    int32_t count = 2;
    if (FLRead(&st->file, raw, &count, 1) != kStatusOk) return kStatusFileRead;
    uint16_t entries = Get16(&st->dir, raw);
    for (uint32_t i = 0; i < entries; ++i) {
        TiffEntry e;
        status = TiffReadIFDE(st, &e);
        if (status == kStatusOk) status = TiffProcessIFDE(st, &e);
        if (status != kStatusOk) return status;
    }
    return kStatusOk;
}

// Settles what the entries left open: strips taken from full-width tiles, the colour map and
// grey palettes.
void CompleteDirectory(TiffDir* d) {
    if (d->tileWidth == d->width && d->stripOffsets == nullptr && d->stripByteCounts == nullptr &&
        d->tileOffsets != nullptr && d->tileByteCounts != nullptr) {
        d->stripOffsets = d->tileOffsets;
        d->stripOffsetCount = d->tileOffsetCount;
        d->stripByteCounts = d->tileByteCounts;
        d->stripByteCountCount = d->tileByteCountCount;
        d->tileOffsets = nullptr;
        d->tileByteCounts = nullptr;
        d->rowsPerStrip = d->tileLength;
        d->stripsFromTiles = 1;
    }
    // The map was read whatever the order of the entries; it counts only for one 8-bit sample
    // with photometric 3.
    if (d->colourMap != nullptr &&
        !(d->samplesPerPixel == 1 && d->bitsPerSample[0] == 8 && d->photometric == 3)) {
        d->colourMap = static_cast<uint16_t*>(Mem_Free(d->colourMap));
    }
    if (d->colourMap != nullptr) {
        const uint16_t* m = d->colourMap;
        bool grey = true;
        for (uint32_t i = 0; i < 256 && grey; ++i) grey = m[i] == m[256 + i] && m[i] == m[512 + i];
        if (grey) {
            d->greyPalette = 1;
            d->photometric = m[0] == 0 ? 1 : 0;
        }
    }
}

// Checks the strip arrays against the image and sizes the buffers. Every strip must hold exactly
// the rows it stands for: at least their bytes (else the buffer would keep stale data), at most
// one strip's worth (else it would not fit the buffer). Where each strip lies is checked when it
// is read, so that the intact lines of a truncated file can still be read.
int32_t PrepareStrips(TiffState* st) {
    TiffDir* d = &st->dir;
    uint64_t rps = d->rowsPerStrip;
    uint64_t strips = (uint64_t(d->height) + rps - 1) / rps;
    uint64_t needed = strips * PlaneCount(d);
    if (d->stripOffsetCount < needed || d->stripByteCountCount < needed) return kStatusFormat;
    st->stripsPerImage = uint32_t(strips);
    st->bufferRows =
        d->stripsFromTiles ? d->rowsPerStrip : uint32_t(rps < d->height ? rps : d->height);

    uint64_t samples = Planar(d) ? 1 : d->samplesPerPixel;
    uint64_t rowBytes = uint64_t(d->width) * samples * st->bytesPerSample;
    if (rowBytes > 0x7FFFFFFFu) return kStatusUnsupported;
    st->rowBytes = uint32_t(rowBytes);
    st->stripBytes = rowBytes * st->bufferRows;
    for (uint64_t i = 0; i < needed; ++i) {
        uint64_t s = i % strips;
        uint64_t rows = d->height - s * rps;
        if (rows > rps) rows = rps;
        uint32_t n = d->stripByteCounts[i];
        if (n < rows * rowBytes || n > st->stripBytes) return kStatusFormat;
        // A strip longer than the whole file cannot be read; refusing it here also keeps a
        // hostile directory from sizing the strip buffer far beyond the file.
        if (n > uint64_t(st->fileSize)) return kStatusFileRead;
    }

    uint64_t planes = PlaneCount(d);
    uint64_t total = st->stripBytes * planes;
    uint64_t limit = gStripBufferLimit < 0x7FFFFFFFu ? gStripBufferLimit : 0x7FFFFFFFu;
    if (total <= limit) st->stripBuffer = static_cast<uint8_t*>(Mem_Alloc(uint32_t(total)));
    if (st->stripBuffer == nullptr) {
        // Without a strip buffer every line is read on its own from its strip.
        uint64_t rowTotal = rowBytes * planes;
        if (rowTotal > 0xFFFFFFFFu - kMemOverhead) return kStatusNoMemory;
        st->rowBuffer = static_cast<uint8_t*>(Mem_Alloc(uint32_t(rowTotal)));
        if (st->rowBuffer == nullptr) return kStatusNoMemory;
    }
    d->currentStrip = -1;
    return kStatusOk;
}

float Resolution(const TiffDir* d) {
    if (d->xResolution[1] == 0) return -1.0f;
    float r = float(d->xResolution[0]) / float(d->xResolution[1]);
    if (d->resolutionUnit != 2) r *= 2.54f;
    return r > 0.0f ? r : -1.0f;
}

int32_t OpenCommon(const FLSpec* spec, RasImage* image, uint32_t bytesPerSample) {
    if (spec == nullptr || image == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = new (image->state) TiffState();
    st->bytesPerSample = bytesPerSample;
    if (FLOpen(&st->file, spec, kFLRead) != kStatusOk) return kStatusFileOpen;
    int32_t status = FLSeek(&st->file, 0, 2);
    if (status == kStatusOk) status = FLTell(&st->file, &st->fileSize);
    if (status == kStatusOk) status = FLSeek(&st->file, 0, 0);
    if (status != kStatusOk) status = kStatusFileSeek;
    if (status == kStatusOk) status = ReadDirectory(st);
    if (status == kStatusOk) {
        CompleteDirectory(&st->dir);
        status = bytesPerSample == 2 ? Tiff16CheckTRH(&st->dir) : TiffCheckTRH(&st->dir);
    }
    if (status == kStatusOk) status = PrepareStrips(st);
    if (status != kStatusOk) {
        FreeState(st);
        return status;
    }

    TiffDir* d = &st->dir;
    image->width = d->width;
    image->height = d->height;
    switch (d->photometric) {
        case 0:
        case 1:
            image->channels = 1;
            image->colorSpace = kRasSpaceGrey;
            break;
        case 2:
        case 3:
            image->channels = 3;
            image->colorSpace = kRasSpaceRGB;
            break;
        case 5:
            image->channels = 4;
            image->colorSpace = kRasSpaceCMYK;
            break;
        default:  // 8 and 9
            image->channels = 3;
            image->colorSpace = kRasSpaceLab;
            break;
    }
    image->format = bytesPerSample == 2 ? kRasFormatTiff16 : kRasFormatTiff;
    image->maxValue = bytesPerSample == 2 ? 65535 : 255;
    image->resolution = Resolution(d);

    // Only an accepted file replaces what the store holds. A profile whose own length field
    // claims more than the tag holds is left out rather than handed on with a false length.
    if (d->profile != nullptr) {
        uint32_t declared = d->profileSize >= 4 ? GetBE32(d->profile) : 0;
        if (4 <= declared && declared <= d->profileSize) {
            RasEmbedTake(kRasSlotReadProfile, d->profile, declared, 0);
        } else {
            Mem_Free(d->profile);
        }
        d->profile = nullptr;
        d->profileSize = 0;
    }
    if (d->iptcBlock != nullptr) {
        if (d->iptcSize > 0) {
            RasEmbedTake(kRasSlotReadData, d->iptcBlock, d->iptcSize + 4, 1);
        } else {
            Mem_Free(d->iptcBlock);
        }
        d->iptcBlock = nullptr;
        d->iptcSize = 0;
    }
    return kStatusOk;
}

// Brings strip s (all its planes) into the strip buffer.
int32_t LoadStrip(TiffState* st, uint32_t s) {
    TiffDir* d = &st->dir;
    if (d->currentStrip == int32_t(s)) return kStatusOk;
    d->currentStrip = -1;
    for (uint32_t p = 0; p < PlaneCount(d); ++p) {
        uint64_t i = s + uint64_t(p) * st->stripsPerImage;
        int32_t status = ReadAt(st, d->stripOffsets[i], st->stripBuffer + p * st->stripBytes,
                                d->stripByteCounts[i]);
        if (status != kStatusOk) return status;
    }
    d->currentStrip = int32_t(s);
    return kStatusOk;
}

int32_t ReadCommon(RasImage* image, uint32_t y, RasSl* sl, uint32_t bytesPerSample) {
    if (image == nullptr || sl == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = static_cast<TiffState*>(image->state);
    if (st->bytesPerSample != bytesPerSample) return kStatusProblem;
    TiffDir* d = &st->dir;
    if (y >= d->height || sl->width != d->width || sl->channels != image->channels) {
        return kStatusProblem;
    }
    for (uint32_t c = 0; c < sl->channels; ++c) {
        if (bytesPerSample == 1 ? sl->planes8[c] == nullptr : sl->planes16[c] == nullptr) {
            return kStatusProblem;
        }
    }

    uint32_t s = y / d->rowsPerStrip;
    uint32_t r = y % d->rowsPerStrip;
    uint32_t planes = PlaneCount(d);
    uint64_t rowBytes = st->rowBytes;
    const uint8_t* rows[4] = {};
    if (st->stripBuffer != nullptr) {
        int32_t status = LoadStrip(st, s);
        if (status != kStatusOk) return status;
        for (uint32_t p = 0; p < planes; ++p)
            rows[p] = st->stripBuffer + p * st->stripBytes + r * rowBytes;
    } else {
        for (uint32_t p = 0; p < planes; ++p) {
            uint64_t i = s + uint64_t(p) * st->stripsPerImage;
            uint8_t* into = st->rowBuffer + p * rowBytes;
            int32_t status =
                ReadAt(st, uint64_t(d->stripOffsets[i]) + r * rowBytes, into, rowBytes);
            if (status != kStatusOk) return status;
            rows[p] = into;
        }
    }

    // Where channel c's samples start and how far apart they lie.
    const uint8_t* base[4];
    uint32_t step = Planar(d) ? bytesPerSample : d->samplesPerPixel * bytesPerSample;
    for (uint32_t c = 0; c < image->channels; ++c) {
        base[c] = Planar(d) ? rows[c] : rows[0] + c * bytesPerSample;
    }
    uint32_t w = d->width;
    uint32_t photometric = d->photometric;

    if (bytesPerSample == 2) {
        uint16_t invert = photometric == 0 ? 0xFFFF : 0;
        for (uint32_t c = 0; c < image->channels; ++c) {
            const uint8_t* p = base[c];
            uint16_t* out = sl->planes16[c];
            for (uint32_t x = 0; x < w; ++x, p += step) out[x] = Get16(d, p) ^ invert;
        }
        return kStatusOk;
    }

    const uint16_t* map = d->colourMap;
    if (d->greyPalette) {
        const uint8_t* p = base[0];
        for (uint32_t x = 0; x < w; ++x) sl->planes8[0][x] = uint8_t(map[p[x]] / 257);
        return kStatusOk;
    }
    if (photometric == 3) {
        const uint8_t* p = base[0];
        for (uint32_t x = 0; x < w; ++x) {
            sl->planes8[0][x] = uint8_t(map[p[x]] / 257);
            sl->planes8[1][x] = uint8_t(map[256 + p[x]] / 257);
            sl->planes8[2][x] = uint8_t(map[512 + p[x]] / 257);
        }
        return kStatusOk;
    }
    for (uint32_t c = 0; c < image->channels; ++c) {
        // White-is-zero grey is inverted; CIELab a and b are signed and become offset values
        // (v < 128 gives v + 128, else v - 128, which is flipping the top bit).
        uint8_t flip = photometric == 0 ? 0xFF : (photometric == 8 && c > 0) ? 0x80 : 0;
        const uint8_t* p = base[c];
        uint8_t* out = sl->planes8[c];
        for (uint32_t x = 0; x < w; ++x, p += step) out[x] = *p ^ flip;
    }
    return kStatusOk;
}

}  // namespace

int32_t TiffReadIFDE(TiffState* state, TiffEntry* entry) {
    if (state == nullptr || entry == nullptr) return kStatusProblem;
    uint8_t raw[12];
    int32_t count = 12;
    if (FLRead(&state->file, raw, &count, 1) != kStatusOk) return kStatusFileRead;
    entry->tag = Get16(&state->dir, raw);
    entry->type = Get16(&state->dir, raw + 2);
    entry->count = Get32(&state->dir, raw + 4);
    Mem_Copy(entry->value, raw + 8, 4);
    return kStatusOk;
}

int32_t TiffProcessIFDE(TiffState* state, const TiffEntry* e) {
    if (state == nullptr || e == nullptr) return kStatusProblem;
    TiffDir* d = &state->dir;
    if (e->count == 0) return kStatusOk;
    bool arrayType = e->type == kTypeShort || e->type == kTypeLong;

    // Tags of a single integer value: the field it goes to.
    uint32_t* single = nullptr;
    switch (e->tag) {
        case kTagNewSubfileType:
            single = &d->newSubfileType;
            break;
        case kTagImageWidth:
            single = &d->width;
            break;
        case kTagImageLength:
            single = &d->height;
            break;
        case kTagCompression:
            single = &d->compression;
            break;
        case kTagPhotometric:
            single = &d->photometric;
            break;
        case kTagSamplesPerPixel:
            single = &d->samplesPerPixel;
            break;
        case kTagRowsPerStrip:
            single = &d->rowsPerStrip;
            break;
        case kTagPlanarConfig:
            single = &d->planarConfig;
            break;
        case kTagGreyResponseUnit:
            single = &d->greyResponseUnit;
            break;
        case kTagT4Options:
            single = &d->t4Options;
            break;
        case kTagT6Options:
            single = &d->t6Options;
            break;
        case kTagResolutionUnit:
            single = &d->resolutionUnit;
            break;
        case kTagColourResponseUnit:
            single = &d->colourResponseUnit;
            break;
        case kTagPredictor:
            single = &d->predictor;
            break;
        case kTagTileWidth:
            single = &d->tileWidth;
            break;
        case kTagTileLength:
            single = &d->tileLength;
            break;
        case kTagInkSet:
            single = &d->inkSet;
            break;
        default:
            break;
    }
    if (single != nullptr) {
        if (!IsIntegerType(e->type)) return kStatusOk;
        int32_t status = ReadFirstInt(state, e, single);
        if (status != kStatusOk) return status;
        // The image length is also the rows per strip unless the file says otherwise, in
        // whichever order the two entries come.
        if (e->tag == kTagImageLength && !d->rowsPerStripSet) d->rowsPerStrip = d->height;
        if (e->tag == kTagRowsPerStrip) d->rowsPerStripSet = 1;
        return kStatusOk;
    }

    switch (e->tag) {
        case kTagBitsPerSample: {
            if (!IsIntegerType(e->type)) break;
            uint32_t* values = nullptr;
            uint32_t n = 0;
            int32_t status = ReadIntArray(state, e, &values, &n);
            if (status != kStatusOk) return status;
            // A single value stands for every sample, as some writers give it.
            for (uint32_t i = 0; i < 4; ++i) {
                d->bitsPerSample[i] = uint16_t(n == 1 ? values[0] : i < n ? values[i] : 1);
            }
            Mem_Free(values);
            break;
        }
        case kTagStripOffsets:
            if (arrayType) return ReadIntArray(state, e, &d->stripOffsets, &d->stripOffsetCount);
            break;
        case kTagStripByteCounts:
            if (arrayType)
                return ReadIntArray(state, e, &d->stripByteCounts, &d->stripByteCountCount);
            break;
        case kTagTileOffsets:
            if (arrayType) return ReadIntArray(state, e, &d->tileOffsets, &d->tileOffsetCount);
            break;
        case kTagTileByteCounts:
            if (arrayType)
                return ReadIntArray(state, e, &d->tileByteCounts, &d->tileByteCountCount);
            break;
        case kTagXResolution:
            if (e->type == kTypeRational) return ReadRational(state, e, d->xResolution);
            break;
        case kTagYResolution:
            if (e->type == kTypeRational) return ReadRational(state, e, d->yResolution);
            break;
        case kTagPageNumber:
            if (e->type == kTypeShort && e->count == 2) {
                d->pageNumber[0] = Get16(d, e->value);
                d->pageNumber[1] = Get16(d, e->value + 2);
            }
            break;
        case kTagColourMap:
            if (e->type == kTypeShort && e->count == kColourMapEntries)
                return ReadColourMap(state, e);
            break;
        case kTagIptc:
            if (e->type == kTypeByte || e->type == kTypeUndefined || e->type == kTypeLong ||
                e->type == kTypeAscii) {
                return ReadBytes(state, e, 4, &d->iptcBlock, &d->iptcSize);
            }
            break;
        case kTagIccProfile:
            if (e->type == kTypeByte || e->type == kTypeUndefined) {
                return ReadBytes(state, e, 0, &d->profile, &d->profileSize);
            }
            break;
        default:
            break;
    }
    return kStatusOk;
}

int32_t TiffCheckTRH(const TiffDir* dir) {
    if (dir == nullptr) return kStatusProblem;
    return CheckCommon(dir, 8, false);
}

int32_t Tiff16CheckTRH(const TiffDir* dir) {
    if (dir == nullptr) return kStatusProblem;
    return CheckCommon(dir, 16, true);
}

int32_t TiffOpen(const FLSpec* spec, RasImage* image) {
    return OpenCommon(spec, image, 1);
}
int32_t Tiff16Open(const FLSpec* spec, RasImage* image) {
    return OpenCommon(spec, image, 2);
}
int32_t TiffReadSl(RasImage* image, uint32_t y, RasSl* sl) {
    return ReadCommon(image, y, sl, 1);
}
int32_t Tiff16ReadSl(RasImage* image, uint32_t y, RasSl* sl) {
    return ReadCommon(image, y, sl, 2);
}

int32_t TiffClose(RasImage* image) {
    if (image == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = static_cast<TiffState*>(image->state);
    int32_t status = st->file.kind != kFLKindNotOpen ? FLClose(&st->file) : kStatusOk;
    FreeState(st);
    st->~TiffState();
    return status;
}

void TiffSetStripBufferLimit(uint32_t bytes) {
    gStripBufferLimit = bytes;
}
uint32_t TiffGetStripBufferLimit() {
    return gStripBufferLimit;
}
