// Writing a file of the host's (the output image, a recorded action) so that it is whole or not
// there at all.
//
// The bytes go to a temporary file in the target's folder, ".NAME.filterhost-PID" (the process
// id keeps two hosts writing the same target apart), which is renamed over the target only when
// it is complete. A failure removes it; an interrupt that ends the process removes it as well
// (HostOs_HoldTemporary), or, on Windows where the console's handler cannot remove a file the
// writer has open, makes the write fail here as interrupted once the writer is done. What a host
// killed outright leaves behind (SIGKILL, a power cut) is removed by the next host that writes
// the same target: a temporary file of that pattern whose process is gone is nobody's.
#pragma once

#include <functional>
#include <string>

// write(temp, error) writes the whole file to temp. False with *error when writing or the
// rename failed; when an interrupt stopped it, *interrupted is set too.
bool WriteWholeFile(const std::string& path,
                    const std::function<bool(const std::string& temp, std::string* error)>& write,
                    std::string* error, bool* interrupted = nullptr);
