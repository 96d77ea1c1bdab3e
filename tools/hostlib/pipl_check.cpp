// PiPL reading and the availability decision; see pipl_check.h.
#include "tools/hostlib/pipl_check.h"

#include <cctype>
#include <cstring>
#include <utility>

#include "tools/hostlib/module_file.h"

namespace {

uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string CodeText(OSType code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char(code >> shift);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::string PString(const std::string& data) {
    if (data.empty()) return "";
    size_t n = std::min<size_t>(uint8_t(data[0]), data.size() - 1);
    return data.substr(1, n);
}

struct ModeNameEntry {
    const char* name;
    int16 mode;
};
const ModeNameEntry kModeNames[] = {
    {"BitmapMode", plugInModeBitmap},
    {"GrayScaleMode", plugInModeGrayScale},
    {"IndexedColorMode", plugInModeIndexedColor},
    {"RGBMode", plugInModeRGBColor},
    {"CMYKMode", plugInModeCMYKColor},
    {"HSLMode", plugInModeHSLColor},
    {"HSBMode", plugInModeHSBColor},
    {"MultichannelMode", plugInModeMultichannel},
    {"DuotoneMode", plugInModeDuotone},
    {"LabMode", plugInModeLabColor},
    {"Gray16Mode", plugInModeGray16},
    {"RGB48Mode", plugInModeRGB48},
    {"Lab48Mode", plugInModeLab48},
    {"CMYK64Mode", plugInModeCMYK64},
};

// The enable-expression reader: recursive descent that evaluates as it goes.
class EnableParser {
   public:
    EnableParser(const std::string& text, const ImageFacts& facts) : text_(text), facts_(facts) {}

    int Evaluate(std::string* error) {
        int64_t value = Or();
        Skip();
        if (error_.empty() && pos_ != text_.size())
            Fail("unexpected text at \"" + text_.substr(pos_) + "\"");
        if (!error_.empty()) {
            *error = error_;
            return -1;
        }
        return value != 0 ? 1 : 0;
    }

   private:
    void Fail(const std::string& why) {
        if (error_.empty()) error_ = why;
    }
    void Skip() {
        while (pos_ < text_.size() && std::isspace(uint8_t(text_[pos_]))) ++pos_;
    }
    bool Accept(const char* token) {
        Skip();
        size_t n = std::strlen(token);
        if (text_.compare(pos_, n, token) != 0) return false;
        pos_ += n;
        return true;
    }
    void Expect(const char* token) {
        if (!Accept(token)) Fail(std::string("expected \"") + token + "\"");
    }
    int64_t Or() {
        int64_t v = And();
        while (error_.empty() && Accept("||")) v = (And() != 0) || v != 0;
        return v;
    }
    int64_t And() {
        int64_t v = Unary();
        while (error_.empty() && Accept("&&")) v = (Unary() != 0) && v != 0;
        return v;
    }
    int64_t Unary() {
        Skip();
        if (text_.compare(pos_, 2, "!=") != 0 && Accept("!")) return Unary() == 0;
        return Comparison();
    }
    int64_t Comparison() {
        int64_t a = Primary();
        static const char* const kOps[] = {"==", "!=", "<=", ">=", "<", ">"};
        for (const char* op : kOps) {
            if (error_.empty() && Accept(op)) {
                int64_t b = Primary();
                switch (op[0]) {
                    case '=':
                        return a == b;
                    case '!':
                        return a != b;
                    case '<':
                        return op[1] == '=' ? a <= b : a < b;
                    default:
                        return op[1] == '=' ? a >= b : a > b;
                }
            }
        }
        return a;
    }
    int64_t Primary() {
        Skip();
        if (!error_.empty()) return 0;
        if (Accept("(")) {
            int64_t v = Or();
            Expect(")");
            return v;
        }
        if (pos_ < text_.size() && std::isdigit(uint8_t(text_[pos_]))) {
            int64_t v = 0;
            while (pos_ < text_.size() && std::isdigit(uint8_t(text_[pos_])) &&
                   v < (int64_t(1) << 40)) {
                v = v * 10 + (text_[pos_++] - '0');
            }
            return v;
        }
        size_t start = pos_;
        while (pos_ < text_.size() && (std::isalnum(uint8_t(text_[pos_])) || text_[pos_] == '_'))
            ++pos_;
        std::string name = text_.substr(start, pos_ - start);
        if (name.empty()) {
            Fail(pos_ < text_.size() ? "unexpected \"" + text_.substr(pos_, 1) + "\""
                                     : "the expression ends too early");
            return 0;
        }
        if (name == "in") return In();
        if (name == "true") return 1;
        if (name == "false") return 0;
        if (name == "PSHOP_ImageMode") return facts_.mode;
        if (name == "PSHOP_ImageDepth") return facts_.depth;
        for (const ModeNameEntry& m : kModeNames) {
            if (name == m.name) return m.mode;
        }
        Fail("unknown name " + name);
        return 0;
    }
    int64_t In() {
        Expect("(");
        int64_t value = Or();
        bool found = false;
        int candidates = 0;
        while (error_.empty() && Accept(",")) {
            found = (Or() == value) || found;
            ++candidates;
        }
        Expect(")");
        if (candidates == 0) Fail("in (...) needs at least one candidate");
        return found;
    }

    const std::string& text_;
    const ImageFacts& facts_;
    size_t pos_ = 0;
    std::string error_;
};

const char* kCaseNames[kFilterCaseCount] = {
    "a flat image",
    "a flat image with a selection",
    "a floating selection",
    "a layer with transparency",
    "a layer with transparency and a selection",
    "a layer with protected transparency",
    "a layer with protected transparency and a selection",
};

// The 'mode' family flag that admits a mode; 0 for modes without one.
uint8 ModeFlag(int16 mode) {
    switch (mode) {
        case plugInModeBitmap:
            return PIFlagBitmap;
        case plugInModeGrayScale:
        case plugInModeGray16:
            return PIFlagGrayScale;
        case plugInModeIndexedColor:
            return PIFlagIndexedColor;
        case plugInModeRGBColor:
        case plugInModeRGB48:
            return PIFlagRGBColor;
        case plugInModeCMYKColor:
        case plugInModeCMYK64:
            return PIFlagCMYKColor;
        default:
            return 0;
    }
}

}  // namespace

std::string ModuleInfoText(const ModuleInfo& info) {
    std::string text = "kind " + CodeText(info.kind) + ", version ";
    text += info.version < 0
                ? std::string("none")
                : std::to_string(info.version >> 16) + "." + std::to_string(info.version & 0xFFFF);
    text +=
        ", modes " + (info.hasModes ? std::to_string(int(info.modeFlags)) : std::string("none"));
    text += ", largest " + (info.hasMaxSize ? std::to_string(info.maxColumns) + " x " +
                                                  std::to_string(info.maxRows)
                                            : std::string("any"));
    text += ", cases";
    if (!info.hasCaseInfo) return text + " none";
    for (const auto& c : info.caseInfo) {
        text += " " + std::to_string(int(c[0])) + "/" + std::to_string(int(c[1])) + "/" +
                std::to_string(int(c[2])) + "/" + std::to_string(int(c[3]));
    }
    return text;
}

const char* ModeName(int16 mode) {
    switch (mode) {
        case plugInModeBitmap:
            return "Bitmap";
        case plugInModeGrayScale:
            return "Grayscale";
        case plugInModeIndexedColor:
            return "Indexed Color";
        case plugInModeRGBColor:
            return "RGB";
        case plugInModeCMYKColor:
            return "CMYK";
        case plugInModeHSLColor:
            return "HSL";
        case plugInModeHSBColor:
            return "HSB";
        case plugInModeMultichannel:
            return "Multichannel";
        case plugInModeDuotone:
            return "Duotone";
        case plugInModeLabColor:
            return "Lab";
        case plugInModeGray16:
            return "16-bit Grayscale";
        case plugInModeRGB48:
            return "16-bit RGB";
        case plugInModeLab48:
            return "16-bit Lab";
        case plugInModeCMYK64:
            return "16-bit CMYK";
        default:
            return "unknown-mode";
    }
}

bool ParsePiPL(const uint8_t* bytes, size_t size, std::vector<PiplProperty>* properties,
               std::string* error) {
    properties->clear();
    if (bytes == nullptr || size < 8) {
        *error = "the PiPL is shorter than its header";
        return false;
    }
    if (LE32(bytes) != 0) {
        *error = "PiPL version " + std::to_string(LE32(bytes)) + " is not supported";
        return false;
    }
    uint32_t count = LE32(bytes + 4);
    size_t at = 8;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 16) {
            *error = "the PiPL ends inside property " + std::to_string(i + 1);
            return false;
        }
        PiplProperty p;
        p.vendor = LE32(bytes + at);
        p.key = LE32(bytes + at + 4);
        p.id = int32(LE32(bytes + at + 8));
        uint32_t length = LE32(bytes + at + 12);
        at += 16;
        uint64_t padded = (uint64_t(length) + 3) & ~uint64_t(3);
        if (padded > size - at) {
            *error = "PiPL property '" + CodeText(p.key) + "' reaches past the end";
            return false;
        }
        p.data.assign(reinterpret_cast<const char*>(bytes + at), length);
        at += size_t(padded);
        properties->push_back(std::move(p));
    }
    return true;
}

bool DescribeModule(const std::vector<PiplProperty>& properties, ModuleInfo* info,
                    std::string* error) {
    *info = ModuleInfo();
    for (const PiplProperty& p : properties) {
        if (p.vendor != PIAdobeVendorID) continue;
        const std::string& d = p.data;
        auto tooShort = [&](size_t need) {
            if (d.size() >= need) return false;
            *error = "PiPL property '" + CodeText(p.key) + "' is too short";
            return true;
        };
        const auto* u = reinterpret_cast<const uint8_t*>(d.data());
        switch (p.key) {
            case PIKindProperty:
                if (tooShort(4)) return false;
                info->kind = LE32(u);
                break;
            case PINameProperty:
                info->name = PString(d);
                break;
            case PICategoryProperty:
                info->category = PString(d);
                break;
            case PIVersionProperty:
                if (tooShort(4)) return false;
                info->version = int32(LE32(u));
                break;
            case PIWin64X86CodeProperty:
                info->entryPoint = d.substr(0, d.find('\0'));
                break;
            case PIImageModesProperty:
                if (tooShort(1)) return false;
                info->hasModes = true;
                info->modeFlags = u[0];
                break;
            case PIEnableInfoProperty:
                info->hasEnable = true;
                info->enable = d.substr(0, d.find('\0'));
                break;
            case PIFilterMaxSize:
                if (tooShort(8)) return false;
                info->hasMaxSize = true;
                info->maxRows = int32(LE32(u));
                info->maxColumns = int32(LE32(u + 4));
                break;
            case PIFilterCaseInfoProperty:
                if (tooShort(4 * kFilterCaseCount)) return false;
                info->hasCaseInfo = true;
                std::memcpy(info->caseInfo, u, sizeof info->caseInfo);
                break;
            default:
                break;
        }
    }
    return true;
}

bool ReadModuleInfo(const std::string& path, ModuleInfo* info, std::string* error) {
    std::string pipl;
    if (!ReadModuleResource(path, ModulePiplType(), uint32_t(PIPLResourceId), &pipl, error)) {
        if (error->rfind("it carries no resource", 0) == 0) *error = "it carries no PiPL";
        return false;
    }
    std::vector<PiplProperty> properties;
    if (!ParsePiPL(reinterpret_cast<const uint8_t*>(pipl.data()), pipl.size(), &properties,
                   error) ||
        !DescribeModule(properties, info, error)) {
        return false;
    }
    if (info->kind != PIFilterKind) {
        *error = "it is not a filter (kind '" + CodeText(info->kind) + "')";
        return false;
    }
    if (info->entryPoint.empty()) {
        *error = "its PiPL names no entry point for 64-bit hosts";
        return false;
    }
    return true;
}

int EvaluateEnable(const std::string& expression, const ImageFacts& facts, std::string* error) {
    return EnableParser(expression, facts).Evaluate(error);
}

std::string WhyNotAvailable(const ModuleInfo& info, const ImageFacts& facts) {
    if (info.version >= 0 && (info.version >> 16) > 4) {
        return "it needs host interface version " + std::to_string(info.version >> 16) +
               " (this host offers 4)";
    }
    std::string image = std::string(ModeName(facts.mode)) + " images";
    if (info.hasEnable) {
        std::string error;
        int enabled = EvaluateEnable(info.enable, facts, &error);
        if (enabled < 0)
            return "its enable expression \"" + info.enable + "\" cannot be read: " + error;
        if (enabled == 0) {
            return "it is not available for " + image + " (its PiPL enables it only when " +
                   info.enable + ")";
        }
    } else if (info.hasModes && (info.modeFlags & ModeFlag(facts.mode)) == 0) {
        return "it is not available for " + image + " (its PiPL modes do not include them)";
    }
    if (info.hasMaxSize && (facts.height > info.maxRows || facts.width > info.maxColumns)) {
        return "the image (" + std::to_string(facts.width) + " x " + std::to_string(facts.height) +
               ") is larger than it accepts (" + std::to_string(info.maxColumns) + " x " +
               std::to_string(info.maxRows) + ")";
    }
    if (info.hasCaseInfo && 1 <= facts.filterCase && facts.filterCase <= kFilterCaseCount &&
        info.caseInfo[facts.filterCase - 1][0] == 0) {
        return std::string("it cannot filter ") + kCaseNames[facts.filterCase - 1];
    }
    return "";
}
