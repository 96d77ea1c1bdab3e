// What the stand-in host needs from the operating system, one file per system (host_os_posix.cpp,
// host_os_win32.cpp): loading the module, the folder of the running program, replacing a file by
// a finished temporary one, the interrupt key, large blocks and read-only file mappings. The host
// code above it is the same on Linux and on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The characters that end a folder in a path: "/" here, "/\\" on Windows.
const char* HostOs_PathSeparators();

// The module file's name that the host looks for next to its own program ("KolmaraPro.so",
// "KolmaraPro.8bf").
const char* HostOs_DefaultModuleName();

// The folder of the running program, with its final separator; empty when it cannot be found.
std::string HostOs_ProgramFolder();

// Loads the module (it stays loaded until the process ends) and finds the named entry point.
// Null with the system's reason when either fails; *loaded tells which.
void* HostOs_LoadEntry(const std::string& path, const std::string& entry, bool* loaded,
                       std::string* error);

// The resource archive of a Linux module file (Res_ReadFromElfFile's answers). A Windows host
// loads Windows modules only: there every such file is -8, not a module it can use.
int32_t HostOs_ReadElfResources(const char* path, uint8_t** bytes, uint32_t* size);

// A number that tells this process apart from others writing beside the same file.
long HostOs_ProcessId();

// Renames the finished temporary file over path, replacing it if it exists, in one step.
bool HostOs_ReplaceFile(const std::string& temp, const std::string& path, std::string* error);

// Whether new files can be made in the folder; the reason when not.
bool HostOs_CanWriteFolder(const std::string& folder, std::string* error);

// Whether standard error is a terminal (the progress bar is drawn only there by default).
bool HostOs_ErrorIsTerminal();

// The interrupt key (Ctrl-C): while watched, the first press calls onInterrupt (which must only
// set a flag) and a second one ends the process as usual.
bool HostOs_WatchInterrupt(void (*onInterrupt)());
void HostOs_StopWatchingInterrupt();
// Outside a watched stretch Ctrl-C ends the process with this status. On Linux the signal's
// own default does that already (the shell sees 130); Windows' default would report success
// under Wine, so the host says what it means.
void HostOs_InterruptEndsProcess(int status);

// Large blocks, not zero-filled, in huge pages where the system offers them. Null when there is
// not enough memory; HostOs_FreeLarge takes null.
void* HostOs_AllocateLarge(size_t bytes);
void HostOs_FreeLarge(void* p);

// The whole file mapped read-only; false when it cannot be (the caller then reads it).
bool HostOs_MapFile(const std::string& path, void** base, size_t* size);
void HostOs_UnmapFile(void* base, size_t size);
