// What the stand-in host needs from the operating system, one file per system (host_os_posix.cpp,
// host_os_win32.cpp): loading the module, the folder of the running program, replacing a file by
// a finished temporary one, the interrupt key, large blocks and read-only file mappings. The host
// code above it is the same on Linux and on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The characters that end a folder in a path: "/" here, "/\\" on Windows.
const char* HostOs_PathSeparators();

// The module file's name that the host looks for next to its own program ("KolmaraPro.so",
// "KolmaraPro.8bf").
const char* HostOs_DefaultModuleName();

// The folder of the running program, with its final separator; empty when it cannot be found.
std::string HostOs_ProgramFolder();

// The program's arguments (the program's name first) as UTF-8. main's own are that on Linux; on
// Windows they come in the ANSI code page, which cannot hold every file name, so the command
// line is read again in wide characters.
std::vector<std::string> HostOs_Arguments(int argc, char** argv);

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

// Interrupts: SIGINT, SIGTERM and SIGHUP on Linux; Ctrl-C, Ctrl-Break and closing the console on
// Windows. Called first thing in main, HostOs_InterruptEndsProcess makes every interrupt end the
// process with status (and message, a line for stderr) from then on, after removing the
// temporary file in hand (HostOs_HoldTemporary). While watched, the first Ctrl-C, SIGINT or
// SIGTERM calls onInterrupt instead (which must only set a flag) and a second one ends the
// process as above.
void HostOs_InterruptEndsProcess(int status, const char* message);
bool HostOs_WatchInterrupt(void (*onInterrupt)());
void HostOs_StopWatchingInterrupt();
// The temporary file being written (null: none any more), removed if an interrupt ends the
// process. On Windows the console's handler runs beside the writer, which has the file open: an
// interrupt then only marks it (HostOs_InterruptPending), and the writer removes the file and
// ends the run when it has closed it.
void HostOs_HoldTemporary(const char* path);
bool HostOs_InterruptPending();

// Large blocks, not zero-filled, in huge pages where the system offers them. Null when there is
// not enough memory; HostOs_FreeLarge takes null.
void* HostOs_AllocateLarge(size_t bytes);
void HostOs_FreeLarge(void* p);

// The whole file mapped read-only; false when it cannot be (the caller then reads it). With
// `copy` non-null a second view of the same file is made as well, copy-on-write: a write through
// it changes only this process's copy of the page, never the file nor the first view, and
// HostOs_ForgetCopies makes the pages read as the file again. *copy is null where the system
// offers no such view (Windows here); HostOs_UnmapFile(*copy, *size) unmaps it.
bool HostOs_MapFile(const std::string& path, void** base, size_t* size, void** copy = nullptr);
void HostOs_UnmapFile(void* base, size_t size);
// Drops the copies that writes made of the pages of [p, p + bytes) in a copy-on-write view (the
// range is widened to whole pages).
void HostOs_ForgetCopies(void* p, size_t bytes);

// Sets an environment variable of this process, which a module loaded into it reads too.
void HostOs_SetEnvironment(const char* name, const char* value);
