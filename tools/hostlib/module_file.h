// Reading one resource of a module from the module file on disk, without loading the module: from
// the resource archive of a Linux module, or from the Windows resources of a .8bf.
#pragma once

#include <cstdint>
#include <string>

// The resource's bytes; false with a reason (without the path) when the file cannot be read, has
// no resource archive, or lacks the resource.
bool ReadModuleResource(const std::string& path, uint32_t type, uint32_t id, std::string* bytes,
                        std::string* error);

// The resource type of the PiPL in the archive.
uint32_t ModulePiplType();
