// Scripting descriptors of the stand-in host: the read and write descriptor suites, the bytes a
// descriptor handle holds, and the action file that --record writes and --play reads.
//
// A descriptor is a list of items (key, type, data); this host stores text items, which is all
// the filter writes. Descriptor handle bytes and the action file use numbers most significant
// byte first; the layouts are documented in tools/filterhost/README.md. Readers hand out the
// items in their stored order whatever key list the filter passes.
#pragma once

#include <string>
#include <vector>

#include "hostsdk/filter_record.h"

struct DescriptorItem {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    std::string data;
};

// The bytes of a descriptor handle: uint32 count, then per item key, type, length and data.
std::string EncodeDescriptor(const std::vector<DescriptorItem>& items);
bool DecodeDescriptor(const std::string& bytes, std::vector<DescriptorItem>* items,
                      std::string* error);

ReadDescriptorProcs* HostReadDescriptorProcs();
WriteDescriptorProcs* HostWriteDescriptorProcs();
// Readers and writers the filter opened and never closed; CloseAllDescriptorTokens frees them.
size_t OpenDescriptorTokens();
void CloseAllDescriptorTokens();

// The action file: "KACT", uint32 version 1, then the descriptor bytes. Writing goes through a
// temporary file beside the target.
bool ReadActionFile(const std::string& path, std::vector<DescriptorItem>* items,
                    std::string* error);
bool WriteActionFile(const std::string& path, const std::vector<DescriptorItem>& items,
                     std::string* error);

// The bytes of an action file, for hosts that keep an action elsewhere than in a file.
std::string EncodeAction(const std::vector<DescriptorItem>& items);
bool DecodeAction(const std::string& bytes, std::vector<DescriptorItem>* items, std::string* error);

// Limits that keep a damaged file from asking for absurd amounts of memory.
constexpr uint32 kMaxDescriptorItems = 4096;
constexpr uint32 kMaxDescriptorItemBytes = 1u << 26;
