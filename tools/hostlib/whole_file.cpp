// Writing a file whole or not at all; see whole_file.h.
#include "tools/hostlib/whole_file.h"

#include <cstdio>

#include "platform/os.h"
#include "tools/hostlib/host_os.h"

bool WriteWholeFile(const std::string& path,
                    const std::function<bool(const std::string& temp, std::string* error)>& write,
                    std::string* error, bool* interrupted) {
    if (interrupted != nullptr) *interrupted = false;
    const size_t slash = path.find_last_of(HostOs_PathSeparators());
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix = "." + name + ".filterhost-";
    Os_RemoveOrphans(folder.empty() ? "./" : folder.c_str(), prefix.c_str(), "");
    const std::string temp = folder + prefix + std::to_string(HostOs_ProcessId());
    HostOs_HoldTemporary(temp.c_str());
    bool ok = write(temp, error);
    if (HostOs_InterruptPending()) {
        ok = false;
        *error = "interrupted";
        if (interrupted != nullptr) *interrupted = true;
    }
    if (ok) ok = HostOs_ReplaceFile(temp, path, error);
    if (!ok) Os_RemoveFile(temp.c_str());
    HostOs_HoldTemporary(nullptr);
    return ok;
}
