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

// One such write, for a writer that keeps the temporary file while other work goes on (the
// filter's result written as the filter makes it). Constructing it removes the orphans and
// holds the temporary file's name; Finish renames or removes it; a WholeFile dropped unfinished
// removes its temporary file.
class WholeFile {
   public:
    explicit WholeFile(const std::string& path);
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    ~WholeFile();

    const std::string& Temp() const { return temp_; }

    // written: whether the writer completed the temporary file (closed it). Renames it over the
    // target; false with *error when it was not written (the writer's *error stays), when an
    // interrupt came (*error "interrupted", *interrupted set) or when the rename failed. The
    // temporary file is gone afterwards either way.
    bool Finish(bool written, std::string* error, bool* interrupted = nullptr);

   private:
    std::string path_, temp_;
    bool finished_ = false;
};

// write(temp, error) writes the whole file to temp. False with *error when writing or the
// rename failed; when an interrupt stopped it, *interrupted is set too.
bool WriteWholeFile(const std::string& path,
                    const std::function<bool(const std::string& temp, std::string* error)>& write,
                    std::string* error, bool* interrupted = nullptr);
