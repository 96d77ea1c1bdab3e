// A small in-test host: the procedure suites a filter host offers, over plain C++ containers, so
// that host-side routines of the module can be driven without a real editor.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "hostsdk/filter_record.h"

struct PIHandleRecord {
    std::vector<char> data;
    int locks = 0;
};

namespace test_host {

// One descriptor item as the host stores it.
struct Item {
    DescriptorKeyID key;
    std::string text;
    DescriptorTypeID type = typeText;
};

class TestHost {
   public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    FilterRecord record{};
    HandleProcs handleProcs{};
    PropertyProcs propertyProcs{};
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};
    PIDescriptorParameters descriptorParameters{};
    BigDocumentStruct bigDocument{};
    PlatformData platformData{};

    // Gives the host a recorded descriptor holding these items.
    void SetDescriptor(const std::vector<Item>& items);
    // The items of the descriptor the module last handed back.
    std::vector<Item> DescriptorItems() const;

    // Handles not yet disposed of.
    static int LiveHandles();
    static bool IsLive(Handle h);
    static Handle NewHandle(const std::string& bytes);

    // Colour services: the calls seen, and what the host answers.
    static std::vector<ColorServicesInfo> colourCalls;
    static int16 answerSpace;
    static int16 answerComponents[4];
    static OSErr colourError;
    static std::string title;
    static bool refuseTitle;
    // getTextProc calls on an item that is not text (the host refuses them).
    static int wrongTypeReads;
};

}  // namespace test_host
