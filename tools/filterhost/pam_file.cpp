// Netpbm files, read and written by this code alone on every system, so that the same image
// gives the same bytes wherever filterhost runs. Read: PAM (P7, one to four channels), PGM (P5)
// and PPM (P6), with any maxval up to 65535 (values are scaled to 8 bits for maxval 255 and below,
// to 16 bits above). Written: PAM with maxval 255 or 65535 and the tuple type of the channels
// (GRAYSCALE, GRAYSCALE_ALPHA, RGB, RGB_ALPHA). Samples above 255 are two bytes, most significant
// first. Netpbm files carry no resolution: a read image has 72 pixels per inch.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os.h"
#include "tools/filterhost/image_file.h"

namespace {

struct CloseFile {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, CloseFile>;

// The header's tokens: words separated by white space, "#" comments to the end of the line.
class HeaderReader {
   public:
    explicit HeaderReader(FILE* f) : f_(f) {}

    // The next word, at most 64 characters; empty at the end of the file.
    std::string Word() {
        int c = Skip();
        std::string word;
        while (c != EOF && !IsSpace(c) && word.size() < 64) {
            word.push_back(char(c));
            c = std::fgetc(f_);
        }
        last_ = c;
        return word;
    }

    // A decimal number 1..limit; false for anything else.
    bool Number(uint32_t limit, uint32_t* value) {
        std::string word = Word();
        if (word.empty() || word.size() > 9) return false;
        uint32_t v = 0;
        for (char c : word) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + uint32_t(c - '0');
        }
        if (!(1 <= v && v <= limit)) return false;
        *value = v;
        return true;
    }

    // The character that ended the last word (the single white space before the samples).
    int Last() const { return last_; }

    // The rest of the line after the last word (PAM's header lines).
    std::string Line() {
        std::string line;
        int c = last_;
        while (c == ' ' || c == '\t') c = std::fgetc(f_);
        while (c != EOF && c != '\n' && line.size() < 256) {
            line.push_back(char(c));
            c = std::fgetc(f_);
        }
        last_ = c;
        return line;
    }

   private:
    static bool IsSpace(int c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    int Skip() {
        int c = std::fgetc(f_);
        while (c != EOF && (IsSpace(c) || c == '#')) {
            if (c == '#') {
                while (c != EOF && c != '\n') c = std::fgetc(f_);
            }
            c = std::fgetc(f_);
        }
        return c;
    }

    FILE* f_;
    int last_ = EOF;
};

constexpr uint32_t kMaxSide = 1u << 24;

bool ReadPamHeader(HeaderReader* in, uint32_t* width, uint32_t* height, uint32_t* depth,
                   uint32_t* maxval, std::string* error) {
    bool haveWidth = false, haveHeight = false, haveDepth = false, haveMax = false;
    for (int lines = 0; lines < 64; ++lines) {
        std::string key = in->Word();
        if (key == "ENDHDR") {
            if (!(haveWidth && haveHeight && haveDepth && haveMax)) {
                *error = "the PAM header lacks WIDTH, HEIGHT, DEPTH or MAXVAL";
                return false;
            }
            if (in->Last() != '\n') in->Line();
            return true;
        }
        bool ok = true;
        if (key == "WIDTH") {
            ok = haveWidth = in->Number(kMaxSide, width);
        } else if (key == "HEIGHT") {
            ok = haveHeight = in->Number(kMaxSide, height);
        } else if (key == "DEPTH") {
            ok = haveDepth = in->Number(4, depth);
        } else if (key == "MAXVAL") {
            ok = haveMax = in->Number(65535, maxval);
        } else if (key == "TUPLTYPE") {
            in->Line();  // the channel count is DEPTH's
        } else {
            *error = key.empty() ? "the PAM header ends early" : "unknown PAM header line " + key;
            return false;
        }
        if (!ok) {
            *error = "bad " + key + " in the PAM header";
            return false;
        }
    }
    *error = "the PAM header is too long";
    return false;
}

}  // namespace

bool ReadPam(const std::string& path, Image* image, std::string* error) {
    File f(Os_OpenFile(path.c_str(), "rb"));
    if (!f) {
        *error = std::strerror(errno);
        return false;
    }
    HeaderReader in(f.get());
    const std::string magic = in.Word();
    uint32_t width = 0, height = 0, depth = 0, maxval = 0;
    if (magic == "P7") {
        if (in.Last() != '\n' || !ReadPamHeader(&in, &width, &height, &depth, &maxval, error)) {
            if (error->empty()) *error = "bad PAM header";
            return false;
        }
    } else if (magic == "P5" || magic == "P6") {
        depth = magic == "P5" ? 1 : 3;
        if (!in.Number(kMaxSide, &width) || !in.Number(kMaxSide, &height) ||
            !in.Number(65535, &maxval)) {
            *error = "bad " + magic + " header";
            return false;
        }
    } else {
        *error = "not a PAM, PGM or PPM file (binary forms P5, P6, P7 only)";
        return false;
    }
    image->width = int32_t(width);
    image->height = int32_t(height);
    image->channels = int32_t(depth);
    image->depth = maxval > 255 ? 16 : 8;
    if (!AllocateImage(image, error)) return false;
    const uint32_t target = image->depth == 16 ? 65535 : 255;
    const size_t bytesPerSample = maxval > 255 ? 2 : 1;
    const size_t rowSamples = size_t(width) * depth;
    std::vector<uint8_t> row(rowSamples * bytesPerSample);
    for (uint32_t y = 0; y < height; ++y) {
        if (std::fread(row.data(), 1, row.size(), f.get()) != row.size()) {
            *error = "the file ends in row " + std::to_string(y);
            return false;
        }
        uint16_t* out = image->samples.data() + size_t(y) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) {
            uint32_t v =
                bytesPerSample == 2 ? (uint32_t(row[2 * i]) << 8) | row[2 * i + 1] : row[i];
            if (v > maxval) {
                *error = "a sample above MAXVAL in row " + std::to_string(y);
                return false;
            }
            out[i] = uint16_t(maxval == target ? v : (v * target + maxval / 2) / maxval);
        }
    }
    return true;
}

bool WritePam(const std::string& path, const Image& image, std::string* error) {
    static const char* const kTupleTypes[4] = {"GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"};
    File f(Os_OpenFile(path.c_str(), "wb"));
    if (!f) {
        *error = std::strerror(errno);
        return false;
    }
    const bool wide = image.depth == 16;
    bool ok =
        std::fprintf(f.get(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %d\nTUPLTYPE %s\nENDHDR\n",
                     int(image.width), int(image.height), int(image.channels), wide ? 65535 : 255,
                     kTupleTypes[image.channels - 1]) > 0;
    const size_t rowSamples = size_t(image.width) * size_t(image.channels);
    std::vector<uint8_t> row(rowSamples * (wide ? 2 : 1));
    for (int32_t y = 0; ok && y < image.height; ++y) {
        const uint16_t* in = image.samples.data() + size_t(y) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) {
            if (wide) {
                row[2 * i] = uint8_t(in[i] >> 8);
                row[2 * i + 1] = uint8_t(in[i]);
            } else {
                row[i] = uint8_t(in[i]);
            }
        }
        ok = std::fwrite(row.data(), 1, row.size(), f.get()) == row.size();
    }
    if (std::fclose(f.release()) != 0) ok = false;
    if (!ok) *error = std::strerror(errno);
    return ok;
}
