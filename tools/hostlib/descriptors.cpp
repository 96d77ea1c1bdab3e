// Descriptor suites and the action file; see descriptors.h.
#include "tools/hostlib/descriptors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "platform/os.h"
#include "tools/hostlib/handle_suite.h"
#include "tools/hostlib/host_os.h"
#include "tools/hostlib/whole_file.h"

struct PIOpaqueReadDescriptor {
    std::vector<DescriptorItem> items;
    size_t next = 0;
    size_t current = SIZE_MAX;  // the item the last getKeyProc yielded
    OSErr error = noErr;
};

struct PIOpaqueWriteDescriptor {
    std::vector<DescriptorItem> items;
};

namespace {

constexpr char kActionMagic[4] = {'K', 'A', 'C', 'T'};
constexpr uint32 kActionVersion = 1;
constexpr size_t kMaxActionFileBytes = size_t(1) << 28;

std::set<PIReadDescriptor>& Readers() {
    static std::set<PIReadDescriptor> readers;
    return readers;
}
std::set<PIWriteDescriptor>& Writers() {
    static std::set<PIWriteDescriptor> writers;
    return writers;
}

void Put32(std::string& out, uint32 v) {
    out += char(v >> 24);
    out += char(v >> 16);
    out += char(v >> 8);
    out += char(v);
}

bool Get32(const std::string& in, size_t* at, uint32* v) {
    if (*at > in.size() || in.size() - *at < 4) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(in.data() + *at);
    *v = (uint32(p[0]) << 24) | (uint32(p[1]) << 16) | (uint32(p[2]) << 8) | p[3];
    *at += 4;
    return true;
}

std::string CodeText(uint32 code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char(code >> shift);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

bool CheckReader(PIReadDescriptor token, const char* use) {
    if (token != nullptr && Readers().count(token) != 0) return true;
    HostWarning(std::string(use) + " called with a reader that is not open");
    return false;
}

bool CheckWriter(PIWriteDescriptor token, const char* use) {
    if (token != nullptr && Writers().count(token) != 0) return true;
    HostWarning(std::string(use) + " called with a writer that is not open");
    return false;
}

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, const DescriptorKeyID*) {
    std::string bytes;
    if (!HandleContents(descriptor, &bytes, "openReadDescriptorProc")) return nullptr;
    auto token = new PIOpaqueReadDescriptor;
    std::string error;
    if (!DecodeDescriptor(bytes, &token->items, &error)) {
        HostWarning("openReadDescriptorProc: the descriptor is damaged: " + error);
        delete token;
        return nullptr;
    }
    Readers().insert(token);
    return token;
}

OSErr CloseRead(PIReadDescriptor token) {
    if (!CheckReader(token, "closeReadDescriptorProc")) return filterBadParameters;
    OSErr error = token->error;
    Readers().erase(token);
    delete token;
    return error;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
    if (!CheckReader(token, "getKeyProc") || key == nullptr) return false;
    if (token->next >= token->items.size()) return false;
    token->current = token->next++;
    *key = token->items[token->current].key;
    if (type != nullptr) *type = token->items[token->current].type;
    if (flags != nullptr) *flags = 0;
    return true;
}

OSErr GetText(PIReadDescriptor token, Handle* text) {
    if (!CheckReader(token, "getTextProc") || text == nullptr) return filterBadParameters;
    *text = nullptr;
    if (token->current >= token->items.size() || token->items[token->current].type != typeText) {
        HostWarning("getTextProc called where the current item is not text");
        token->error = filterBadParameters;
        return filterBadParameters;
    }
    const std::string& data = token->items[token->current].data;
    *text = NewHostHandle(data.data(), data.size());
    return *text == nullptr ? memFullErr : noErr;
}

PIWriteDescriptor OpenWrite() {
    auto token = new PIOpaqueWriteDescriptor;
    Writers().insert(token);
    return token;
}

OSErr PutText(PIWriteDescriptor token, DescriptorKeyID key, Handle text) {
    if (!CheckWriter(token, "putTextProc")) return filterBadParameters;
    DescriptorItem item{key, typeText, {}};
    if (!HandleContents(text, &item.data, "putTextProc")) return filterBadParameters;
    if (item.data.size() > kMaxDescriptorItemBytes) return memFullErr;
    // A key appears once in a descriptor: a second put replaces the first.
    for (DescriptorItem& existing : token->items) {
        if (existing.key == key) {
            existing = std::move(item);
            return noErr;
        }
    }
    if (token->items.size() >= kMaxDescriptorItems) return memFullErr;
    token->items.push_back(std::move(item));
    return noErr;
}

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor) {
    if (!CheckWriter(token, "closeWriteDescriptorProc")) return filterBadParameters;
    std::string bytes = EncodeDescriptor(token->items);
    Writers().erase(token);
    delete token;
    if (newDescriptor == nullptr) return filterBadParameters;
    *newDescriptor = NewHostHandle(bytes.data(), bytes.size());
    return *newDescriptor == nullptr ? memFullErr : noErr;
}

}  // namespace

std::string EncodeDescriptor(const std::vector<DescriptorItem>& items) {
    std::string out;
    Put32(out, uint32(items.size()));
    for (const DescriptorItem& item : items) {
        Put32(out, item.key);
        Put32(out, item.type);
        Put32(out, uint32(item.data.size()));
        out += item.data;
    }
    return out;
}

bool DecodeDescriptor(const std::string& bytes, std::vector<DescriptorItem>* items,
                      std::string* error) {
    items->clear();
    size_t at = 0;
    uint32 count;
    if (!Get32(bytes, &at, &count)) {
        *error = "no item count";
        return false;
    }
    if (count > kMaxDescriptorItems) {
        *error = "too many items (" + std::to_string(count) + ")";
        return false;
    }
    for (uint32 i = 0; i < count; ++i) {
        DescriptorItem item;
        uint32 length;
        if (!Get32(bytes, &at, &item.key) || !Get32(bytes, &at, &item.type) ||
            !Get32(bytes, &at, &length)) {
            *error = "item " + std::to_string(i + 1) + " is cut short";
            return false;
        }
        if (length > kMaxDescriptorItemBytes || length > bytes.size() - at) {
            *error = "item " + std::to_string(i + 1) + " ('" + CodeText(item.key) +
                     "') reaches past the end";
            return false;
        }
        item.data = bytes.substr(at, length);
        at += length;
        items->push_back(std::move(item));
    }
    if (at != bytes.size()) {
        *error = std::to_string(bytes.size() - at) + " bytes after the last item";
        return false;
    }
    return true;
}

ReadDescriptorProcs* HostReadDescriptorProcs() {
    static ReadDescriptorProcs procs{1, 4, OpenRead, CloseRead, GetKey, GetText};
    return &procs;
}

WriteDescriptorProcs* HostWriteDescriptorProcs() {
    static WriteDescriptorProcs procs{1, 3, OpenWrite, CloseWrite, PutText};
    return &procs;
}

size_t OpenDescriptorTokens() {
    return Readers().size() + Writers().size();
}

void CloseAllDescriptorTokens() {
    for (PIReadDescriptor r : Readers()) delete r;
    for (PIWriteDescriptor w : Writers()) delete w;
    Readers().clear();
    Writers().clear();
}

bool ReadActionFile(const std::string& path, std::vector<DescriptorItem>* items,
                    std::string* error) {
    // The platform's open takes UTF-8 paths on Windows too (a stream would take the ANSI code
    // page there).
    std::unique_ptr<FILE, int (*)(FILE*)> in(Os_OpenFile(path.c_str(), "rb"), std::fclose);
    if (in == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    long size = -1;
    if (std::fseek(in.get(), 0, SEEK_END) == 0) size = std::ftell(in.get());
    if (size < 0 || size_t(size) > kMaxActionFileBytes) {
        *error = "not an action file (too large)";
        return false;
    }
    std::rewind(in.get());
    std::string bytes(size_t(size), '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), in.get()) != bytes.size()) {
        *error = "cannot read the file";
        return false;
    }
    return DecodeAction(bytes, items, error);
}

std::string EncodeAction(const std::vector<DescriptorItem>& items) {
    std::string bytes(kActionMagic, 4);
    Put32(bytes, kActionVersion);
    return bytes + EncodeDescriptor(items);
}

bool DecodeAction(const std::string& bytes, std::vector<DescriptorItem>* items,
                  std::string* error) {
    size_t at = 4;
    uint32 version = 0;
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kActionMagic, 4) != 0 ||
        !Get32(bytes, &at, &version)) {
        *error = "not an action file";
        return false;
    }
    if (version != kActionVersion) {
        *error = "action file version " + std::to_string(version) + " is not supported";
        return false;
    }
    std::string why;
    if (!DecodeDescriptor(bytes.substr(8), items, &why)) {
        *error = "the action file is damaged: " + why;
        return false;
    }
    return true;
}

bool WriteActionFile(const std::string& path, const std::vector<DescriptorItem>& items,
                     std::string* error) {
    const std::string bytes = EncodeAction(items);
    return WriteWholeFile(
        path,
        [&](const std::string& temp, std::string* why) {
            FILE* f = Os_OpenFile(temp.c_str(), "wb");
            if (f == nullptr) {
                *why = std::strerror(errno);
                return false;
            }
            bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
            ok = (std::fclose(f) == 0) && ok;
            if (!ok) *why = std::strerror(errno);
            return ok;
        },
        error);
}
