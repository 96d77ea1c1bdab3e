// The preferences file: whatever a damaged disk or another version left in it goes through the
// container's reader and the module's own entry callback, so that every entry's validation runs.
// Afterwards every field must lie in its range, the file must be as it was (reading never
// rewrites an existing file), and every block must be back.
#include <cstring>

#include "edit/prefs.h"
#include "platform/prefs_file.h"
#include "tests/edit/edit_test_support.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UiState* state = fuzz::State();
    const std::string path = fuzz::WriteFile("prefs", data, size);
    auto prefs = edit_testing::NewDefaultPrefs();
    PrefsEntryTarget target{prefs.get(), nullptr};
    {
        fuzz::BlockCount blocks("reading the preferences");
        Ui_Prefs_ReadAll(state, path.c_str(), nullptr, ReadPrefEntry, WritePrefEntries, &target);
        // What the call state keeps of a file read whole, for a later write, goes with it.
        Ui_Prefs_Forget(state);
    }
    const std::string bad = edit_testing::PrefsOutOfRange(*prefs);
    fuzz::Check(bad.empty(), "field out of range after reading: " + bad);
    const std::string after = fuzz::ReadFile(path);
    fuzz::Check(after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0),
                "reading changed the preferences file");
    fuzz::TakeAlertCount();
    return 0;
}
