// The operating system beneath the platform layer: the handful of calls whose form differs
// between Linux and Windows (folders, the module file, replacing a file, the allocator's block
// size, the clock and starting a program). One declaration here, one implementation per system
// (os_posix.cpp, os_win32.cpp); the rest of the platform layer is the same on both, so nothing
// above this file needs to know which system it runs on.
//
// Paths are UTF-8 byte strings on both systems. On Windows every call converts them to and from
// the wide-character form the system's W functions take, so that a folder or file name in any
// script (a user folder named 写真, a photograph in фото) is reached as it is; the ANSI code page
// would replace what it cannot hold with "?" and name another file. Folder results end without a
// separator unless said otherwise; buffers are cut never, a result that does not fit is a
// failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The separator the system writes into the paths it forms ('/' or '\').
extern const char kOsSeparator;

// The per-user application-data folder, created when missing. 0, or a failure code in the form
// the shell gives (0x80004005 when there is no such folder or it does not fit).
int32_t Os_AppDataFolder(char* buffer, size_t capacity);
// Creates one folder. 0 when it was made or is there already, else the system's error number.
int Os_MakeFolder(const char* path);
// fopen for a UTF-8 path (mode as fopen's); null when it cannot be opened (or the path is not
// UTF-8 on Windows).
FILE* Os_OpenFile(const char* path, const char* mode);
// What is at path, links followed: kOsNothing, kOsFile (a regular file) or kOsOther (a folder, a
// device; on Linux also a link that loops or dangles, which counts as there).
enum OsPathKind : int { kOsNothing = 0, kOsFile = 1, kOsOther = 2 };
OsPathKind Os_PathKind(const char* path);
// Removes a file. 0, or the system's error number.
int Os_RemoveFile(const char* path);
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
// new one, never a mixture or none. 0, or the system's error number. On Windows a target that
// another process has open cannot be replaced; the call tries again for about two seconds
// before it gives up (readers of our files hold them for milliseconds).
int Os_ReplaceFile(const char* from, const char* to);
// Whether an error number of Os_ReplaceFile says that there was no room on the disk (as
// opposed to a file in use, a missing folder or a refused permission).
bool Os_ErrorIsDiskFull(int error);
// Makes an empty file at path only when nothing is there, in one step, so that two processes
// looking for a free name can never both take the same one. 0 when made; the system's error
// number otherwise (Os_ErrorIsExisting says whether something was there).
int Os_CreateNewFile(const char* path);
bool Os_ErrorIsExisting(int error);
// Appends text and a line feed to the file at path (made when missing) as one write at the
// file's end, so that lines that processes write at once never run into each other. 0, or the
// system's error number. On Windows a line of more than 8 KB goes in two writes.
int Os_AppendLine(const char* path, const char* text);

// This process's id, and whether a process of the id runs (true when the system cannot say:
// only a process known to be gone counts as gone).
uint32_t Os_ProcessId();
bool Os_ProcessRunning(uint32_t pid);
// Removes the files of folder (ending with a separator) whose names are prefix, a decimal
// process id and suffix, when that process is not this one and no longer runs: what writers
// killed before they could clean up left behind. Other names are never touched. The number of
// files removed.
int Os_RemoveOrphans(const char* folder, const char* prefix, const char* suffix);

// An advisory lock on a file of its own (made when missing and never removed), for writers that
// must not run at the same moment. Waits up to timeoutMillis. The system lets go of the lock
// when its process ends, also when it is killed, so no lock can be left stuck. A handle above 0,
// or 0 when the lock could not be had in time (the caller may go on without it).
intptr_t Os_LockFile(const char* path, uint32_t timeoutMillis);
void Os_UnlockFile(intptr_t lock);
// Waits a number of milliseconds.
void Os_Sleep(uint32_t millis);

// Holds back the interrupt signals (SIGINT, SIGTERM, SIGHUP) of the calling thread while a file
// is replaced, so that a host which ends its process on one of them cannot leave the temporary
// file behind: a signal that arrives meanwhile is delivered when they are let go. On Windows
// nothing is held (the console's handler runs on a thread of its own); what a writer ended there
// leaves behind, the next writer removes (Os_RemoveOrphans).
struct OsHeldInterrupts {
    alignas(8) unsigned char saved[128];
};
void Os_HoldInterrupts(OsHeldInterrupts* held);
void Os_ReleaseInterrupts(const OsHeldInterrupts* held);
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
