// What the fuzz harnesses share.
//
// Each harness feeds the fuzzer's bytes to one reader of outside data through the entry point the
// module itself uses. They share: a private folder for the files a reader must open by name (the
// preferences folder and the temporary folder point into it, so nothing touches the user's own
// files), alerts and message boxes kept off the terminal, a cursor over the bytes for harnesses
// that take their choices from them, and the checks that turn a broken promise into a crash the
// fuzzer keeps: a failed invariant, and a block of the module's own memory not given back.
//
// The same sources build two ways: with clang's libFuzzer (scripts/fuzz.sh) and with the project's
// compiler and a small replay main that runs saved inputs as an ordinary test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct UiState;

namespace fuzz {

// Makes the private folder and silences alerts and message boxes; cheap after the first call.
void Setup();
// The private folder, ending in "/".
const std::string& Folder();
// Writes bytes as the whole content of a file in the private folder and returns its path.
std::string WriteFile(const std::string& name, const uint8_t* data, size_t size);
std::string ReadFile(const std::string& path);

// A call state over the module's own resources, opened once, with alerts pointed at it so that
// every notice a reader shows is composed (and then dropped) as in the module.
UiState* State();
// Alerts composed since the last call, and reset to zero.
int TakeAlertCount();

// Reports a broken promise of the reader and aborts, so that the fuzzer saves the input.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}

// The module's block count must come back to where it was when the scope ends.
class BlockCount {
   public:
    explicit BlockCount(const char* what);
    ~BlockCount();
    BlockCount(const BlockCount&) = delete;
    BlockCount& operator=(const BlockCount&) = delete;

   private:
    const char* what_;
    uint32_t start_;
};

// Takes choices from the front of the fuzzer's bytes; once they run out every choice is zero,
// so any input is a valid input.
class Bytes {
   public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t U8() { return size_ > 0 ? (--size_, *data_++) : 0; }
    uint16_t U16() {
        const uint16_t low = U8();
        return uint16_t(low | (U8() << 8));
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | (uint32_t(U16()) << 16);
    }
    bool Flag() { return (U8() & 1) != 0; }
    // A value in lo .. hi (lo <= hi), spread evenly over small ranges.
    int32_t In(int32_t lo, int32_t hi) {
        uint32_t span = uint32_t(hi - lo) + 1;
        uint32_t raw = span <= 256 ? U8() : span <= 65536 ? U16() : U32();
        return lo + int32_t(raw % span);
    }
    // What is left, and taking all of it.
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    void Skip(size_t n) {
        n = n < size_ ? n : size_;
        data_ += n;
        size_ -= n;
    }

   private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace fuzz
