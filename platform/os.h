// The operating system beneath the platform layer: the handful of calls whose form differs
// between Linux and Windows (folders, the module file, replacing a file, the allocator's block
// size, the clock and starting a program). One declaration here, one implementation per system
// (os_posix.cpp, os_win32.cpp); the rest of the platform layer is the same on both, so nothing
// above this file needs to know which system it runs on.
//
// Paths are byte strings in the system's code page (UTF-8 on Linux, the ANSI code page on
// Windows). Folder results end without a separator unless said otherwise; buffers are cut never,
// a result that does not fit is a failure.
#pragma once

#include <cstddef>
#include <cstdint>

// The separator the system writes into the paths it forms ('/' or '\').
extern const char kOsSeparator;

// The per-user application-data folder, created when missing. 0, or a failure code in the form
// the shell gives (0x80004005 when there is no such folder or it does not fit).
int32_t Os_AppDataFolder(char* buffer, size_t capacity);
// Creates one folder. 0 when it was made or is there already, else the system's error number.
int Os_MakeFolder(const char* path);
// The Windows directory (on Linux the home folder), the last place for the preferences: its
// length; 0 when the system has none; capacity or more when it does not fit (buffer unchanged).
size_t Os_WindowsFolder(char* buffer, size_t capacity);
// The process's current folder and the temporary folder; false when missing or too long.
bool Os_CurrentFolder(char* buffer, size_t capacity);
bool Os_TempFolder(char* buffer, size_t capacity);
// The system's colour-profile folder, ending with a separator.
bool Os_ColorFolder(char* buffer, size_t capacity);
// The absolute path of the file this code was loaded from (the module, or a program linking
// the platform library); false when the system cannot say or it does not fit.
bool Os_ModuleFile(char* buffer, size_t capacity);
// Renames from over to in one step, replacing a file at to: a reader sees the old file or the
// new one, never a mixture or none. 0, or the system's error number.
int Os_ReplaceFile(const char* from, const char* to);
// Whether two paths name the same existing file, also when reached by two names (a link, "./",
// another case of letters on Windows): the file's identity, not its name, is compared. False
// when either does not exist.
bool Os_SameFile(const char* a, const char* b);
// The usable size of a block the C allocator handed out.
size_t Os_BlockSize(void* block);
// Milliseconds from an arbitrary start, never going back; wraps at 2^32.
uint32_t Os_MonotonicMillis();
// Starts program (looked up in the search path) with one argument, without a shell, and waits.
// 0 when it could be run, with *exitCode its exit status; else the system's error number. What
// the program prints goes nowhere: the caller tells of a failure in its own words.
int Os_RunProgram(const char* program, const char* argument, int32_t* exitCode);
