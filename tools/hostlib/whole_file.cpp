// Writing a file whole or not at all; see whole_file.h.
#include "tools/hostlib/whole_file.h"

#include <cstdio>

#include "platform/os.h"
#include "tools/hostlib/host_os.h"

WholeFile::WholeFile(const std::string& path) : path_(path) {
    const size_t slash = path.find_last_of(HostOs_PathSeparators());
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix = "." + name + ".filterhost-";
    Os_RemoveOrphans(folder.empty() ? "./" : folder.c_str(), prefix.c_str(), "");
    temp_ = folder + prefix + std::to_string(HostOs_ProcessId());
    HostOs_HoldTemporary(temp_.c_str());
}

WholeFile::~WholeFile() {
    if (finished_) return;
    Os_RemoveFile(temp_.c_str());
    HostOs_HoldTemporary(nullptr);
}

bool WholeFile::Finish(bool written, std::string* error, bool* interrupted) {
    if (interrupted != nullptr) *interrupted = false;
    bool ok = written;
    if (HostOs_InterruptPending()) {
        ok = false;
        *error = "interrupted";
        if (interrupted != nullptr) *interrupted = true;
    }
    if (ok) ok = HostOs_ReplaceFile(temp_, path_, error);
    if (!ok) Os_RemoveFile(temp_.c_str());
    HostOs_HoldTemporary(nullptr);
    finished_ = true;
    return ok;
}

bool WriteWholeFile(const std::string& path,
                    const std::function<bool(const std::string& temp, std::string* error)>& write,
                    std::string* error, bool* interrupted) {
    WholeFile file(path);
    const bool written = write(file.Temp(), error);
    return file.Finish(written, error, interrupted);
}
