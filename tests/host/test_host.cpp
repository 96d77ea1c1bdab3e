#include "tests/host/test_host.h"

#include <cstring>
#include <set>

struct PIOpaqueReadDescriptor {
    std::vector<test_host::Item> items;
    size_t next = 0;
};
struct PIOpaqueWriteDescriptor {
    std::vector<test_host::Item> items;
};

namespace test_host {

namespace {

std::set<Handle> gLive;

Handle New(int32 size) {
    if (size < 0) return nullptr;
    Handle h = new PIHandleRecord;
    h->data.assign(size_t(size), 0);
    gLive.insert(h);
    return h;
}
void Dispose(Handle h) {
    if (h == nullptr) return;
    gLive.erase(h);
    delete h;
}
int32 Size(Handle h) {
    return h == nullptr ? 0 : int32(h->data.size());
}
Ptr Lock(Handle h, Boolean) {
    if (h == nullptr) return nullptr;
    ++h->locks;
    return h->data.data();
}
void Unlock(Handle h) {
    if (h != nullptr) --h->locks;
}

// A descriptor handle holds its items as: key, type, length (4 bytes each), data; repeated.
Handle Serialize(const std::vector<Item>& items) {
    std::string bytes;
    for (const Item& item : items) {
        uint32_t n = uint32_t(item.text.size());
        bytes.append(reinterpret_cast<const char*>(&item.key), 4);
        bytes.append(reinterpret_cast<const char*>(&item.type), 4);
        bytes.append(reinterpret_cast<const char*>(&n), 4);
        bytes += item.text;
    }
    return TestHost::NewHandle(bytes);
}

std::vector<Item> Parse(Handle h) {
    std::vector<Item> items;
    if (h == nullptr) return items;
    const std::vector<char>& d = h->data;
    for (size_t at = 0; at + 12 <= d.size();) {
        Item item;
        uint32_t n;
        std::memcpy(&item.key, &d[at], 4);
        std::memcpy(&item.type, &d[at + 4], 4);
        std::memcpy(&n, &d[at + 8], 4);
        item.text.assign(&d[at + 12], n);
        items.push_back(item);
        at += 12 + n;
    }
    return items;
}

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, const DescriptorKeyID*) {
    auto* r = new PIOpaqueReadDescriptor;
    r->items = Parse(descriptor);
    return r;
}
OSErr CloseRead(PIReadDescriptor r) {
    delete r;
    return noErr;
}
Boolean GetKey(PIReadDescriptor r, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
    if (r->next >= r->items.size()) return 0;
    *key = r->items[r->next].key;
    *type = r->items[r->next].type;
    *flags = 0;
    ++r->next;
    return 1;
}
OSErr GetText(PIReadDescriptor r, Handle* text) {
    *text = nullptr;
    if (r->items[r->next - 1].type != typeText) {
        ++TestHost::wrongTypeReads;
        return filterBadParameters;
    }
    *text = TestHost::NewHandle(r->items[r->next - 1].text);
    return noErr;
}
PIWriteDescriptor OpenWrite() {
    return new PIOpaqueWriteDescriptor;
}
OSErr CloseWrite(PIWriteDescriptor w, PIDescriptorHandle* out) {
    *out = Serialize(w->items);
    delete w;
    return noErr;
}
OSErr PutText(PIWriteDescriptor w, DescriptorKeyID key, Handle text) {
    w->items.push_back({key, std::string(text->data.begin(), text->data.end())});
    return noErr;
}

OSErr ColourServices(ColorServicesInfo* info) {
    TestHost::colourCalls.push_back(*info);
    if (TestHost::colourError != 0) return TestHost::colourError;
    if (info->selector == plugIncolorServicesChooseColor) {
        info->resultSpace = TestHost::answerSpace;
        for (int c = 0; c < 4; ++c) info->colorComponents[c] = TestHost::answerComponents[c];
    } else {
        // Converting: a fixed answer the test can recognise.
        for (int c = 0; c < 3; ++c) info->colorComponents[c] = int16(10 * (c + 1));
    }
    return noErr;
}

OSErr GetProperty(OSType signature, OSType key, int32, intptr_t*, Handle* complex) {
    if (TestHost::refuseTitle || signature != kPhotoshopSignature || key != propTitle) return -1;
    *complex = TestHost::NewHandle(TestHost::title);
    return noErr;
}

}  // namespace

std::vector<ColorServicesInfo> TestHost::colourCalls;
int16 TestHost::answerSpace = 0;
int16 TestHost::answerComponents[4] = {0, 0, 0, 0};
OSErr TestHost::colourError = 0;
std::string TestHost::title = "photo.tif";
bool TestHost::refuseTitle = false;
int TestHost::wrongTypeReads = 0;

TestHost::TestHost() {
    handleProcs = {1, 6, New, Dispose, Size, nullptr, Lock, Unlock};
    propertyProcs = {1, 1, GetProperty, nullptr};
    readProcs = {1, 4, OpenRead, CloseRead, GetKey, GetText};
    writeProcs = {1, 3, OpenWrite, CloseWrite, PutText};
    descriptorParameters.readDescriptorProcs = &readProcs;
    descriptorParameters.writeDescriptorProcs = &writeProcs;
    record.handleProcs = &handleProcs;
    record.propertyProcs = &propertyProcs;
    record.descriptorParameters = &descriptorParameters;
    record.colorServices = ColourServices;
    record.platformData = &platformData;
    record.planes = 3;
    record.depth = 8;
    colourCalls.clear();
    answerSpace = 0;
    colourError = 0;
    refuseTitle = false;
    wrongTypeReads = 0;
    title = "photo.tif";
}

TestHost::~TestHost() {
    Dispose(descriptorParameters.descriptor);
}

void TestHost::SetDescriptor(const std::vector<Item>& items) {
    Dispose(descriptorParameters.descriptor);
    descriptorParameters.descriptor = Serialize(items);
}

std::vector<Item> TestHost::DescriptorItems() const {
    return Parse(descriptorParameters.descriptor);
}

int TestHost::LiveHandles() {
    return int(gLive.size());
}

bool TestHost::IsLive(Handle h) {
    return gLive.count(h) != 0;
}

Handle TestHost::NewHandle(const std::string& bytes) {
    Handle h = New(int32(bytes.size()));
    if (!bytes.empty()) std::memcpy(h->data.data(), bytes.data(), bytes.size());
    return h;
}

}  // namespace test_host
