#include "tests/platform/ui/ui_test_support.h"

#include <list>
#include <map>

#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"

namespace ui_testing {

std::vector<std::string> gTrace;

namespace {

const char kTestTemplate[] =
    "# test dialog\n"
    "dialog 9000 200 120\n"
    "title \"Test\"\n"
    "font \"MS Sans Serif\" 8\n"
    "item 1 button 140 100 50 14 \"OK\" default\n"
    "item 2 button 80 100 50 14 \"Cancel\"\n"
    "item 3 check 10 10 60 10 \"Check\"\n"
    "item 4 user 10 30 60 40 \"\"\n"
    "item 5 edit 80 10 60 12 \"abc\"\n"
    "item 6 combo 80 30 60 12 \"\"\n"
    "item 7 static 80 50 60 10 \"Label\"\n"
    "item 8 check 150 10 40 10 \"Auto\" auto\n"
    "item 9 user 150 30 40 30 \"\"\n";

// Calls kept alive for the script's lifetime.
std::list<std::function<void(UiWindow*)>> gCalls;

void Trampoline(UiWindow* w, void* context) {
    (*static_cast<std::function<void(UiWindow*)>*>(context))(w);
}

UiScriptEvent Event(int32_t kind) {
    UiScriptEvent e{};
    e.kind = kind;
    return e;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

UiScriptEvent Click(int16_t item) {
    UiScriptEvent e = Event(kUiScriptClick);
    e.item = item;
    return e;
}
UiScriptEvent Select(int16_t item, int32_t entry) {
    UiScriptEvent e = Event(kUiScriptSelect);
    e.item = item;
    e.value = entry;
    return e;
}
UiScriptEvent Edit(int16_t item, const char* text) {
    UiScriptEvent e = Event(kUiScriptEdit);
    e.item = item;
    e.text = text;
    return e;
}
UiScriptEvent Notify(int16_t item, int32_t code) {
    UiScriptEvent e = Event(kUiScriptNotify);
    e.item = item;
    e.value = code;
    return e;
}
UiScriptEvent Key(int32_t key, int16_t item, uint8_t ctrl, uint8_t alt, uint8_t shift) {
    UiScriptEvent e = Event(kUiScriptKey);
    e.value = key;
    e.item = item;
    e.ctrl = ctrl;
    e.alt = alt;
    e.shift = shift;
    return e;
}
UiScriptEvent Press(int16_t item, int16_t v, int16_t h, uint8_t ctrl, uint8_t alt, uint8_t shift) {
    UiScriptEvent e = Event(kUiScriptPress);
    e.item = item;
    e.v = v;
    e.h = h;
    e.ctrl = ctrl;
    e.alt = alt;
    e.shift = shift;
    return e;
}
UiScriptEvent Drag(int16_t v, int16_t h) {
    UiScriptEvent e = Event(kUiScriptDrag);
    e.v = v;
    e.h = h;
    return e;
}
UiScriptEvent Release(int16_t v, int16_t h) {
    UiScriptEvent e = Event(kUiScriptRelease);
    e.v = v;
    e.h = h;
    return e;
}
UiScriptEvent Move(int16_t v, int16_t h) {
    UiScriptEvent e = Event(kUiScriptMove);
    e.v = v;
    e.h = h;
    return e;
}
UiScriptEvent Idle(int32_t ticks) {
    UiScriptEvent e = Event(kUiScriptIdle);
    e.value = ticks;
    return e;
}
UiScriptEvent Choose(const char* path) {
    UiScriptEvent e = Event(kUiScriptChoose);
    e.text = path;
    return e;
}
UiScriptEvent Call(std::function<void(UiWindow*)> fn) {
    gCalls.push_back(std::move(fn));
    UiScriptEvent e = Event(kUiScriptCall);
    e.call = Trampoline;
    e.context = &gCalls.back();
    return e;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

std::vector<uint8_t> ArchiveWith(const std::vector<ExtraResource>& extra) {
    std::map<std::pair<uint32_t, uint32_t>, std::string> entries;
    const ResArchive* module = Res_ModuleArchive();
    for (uint32_t i = 0; i < module->count; ++i) {
        const uint8_t* d = module->bytes + 12 + 16 * i;
        uint32_t offset = Get32(d + 8), size = Get32(d + 12);
        entries[{Get32(d), Get32(d + 4)}] =
            std::string(reinterpret_cast<const char*>(module->bytes) + offset, size);
    }
    for (const ExtraResource& r : extra) entries[{r.type, r.id}] = r.data;
    std::vector<uint8_t> out = {'K', 'R', 'E', 'S'};
    Put32(out, 1);
    Put32(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(12 + 16 * entries.size());
    for (const auto& [key, data] : entries) {
        Put32(out, key.first);
        Put32(out, key.second);
        Put32(out, offset);
        Put32(out, uint32_t(data.size()));
        offset += uint32_t(data.size());
    }
    for (const auto& entry : entries)
        out.insert(out.end(), entry.second.begin(), entry.second.end());
    return out;
}

std::string MakeBmp(int width, int height, const std::vector<uint32_t>& pixels,
                    const std::vector<uint32_t>& palette, bool topDown) {
    auto le32 = [](std::string& s, uint32_t v) {
        for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
    };
    auto le16 = [](std::string& s, uint32_t v) {
        s += char(v);
        s += char(v >> 8);
    };
    int bits = palette.empty() ? 24 : 8;
    int rowBytes = ((width * bits + 31) / 32) * 4;
    std::string data;
    for (int r = 0; r < height; ++r) {
        int y = topDown ? r : height - 1 - r;
        std::string row;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y * width + x)];
            if (bits == 24) {
                row += char(p & 0xFF);          // blue
                row += char((p >> 8) & 0xFF);   // green
                row += char((p >> 16) & 0xFF);  // red
            } else {
                row += char(p);
            }
        }
        row.resize(size_t(rowBytes), '\0');
        data += row;
    }
    std::string colours;
    for (uint32_t c : palette) {
        colours += char(c & 0xFF);
        colours += char((c >> 8) & 0xFF);
        colours += char((c >> 16) & 0xFF);
        colours += '\0';
    }
    std::string out = "BM";
    uint32_t offset = uint32_t(14 + 40 + colours.size());
    le32(out, uint32_t(offset + data.size()));
    le32(out, 0);
    le32(out, offset);
    le32(out, 40);
    le32(out, uint32_t(width));
    le32(out, uint32_t(topDown ? -height : height));
    le16(out, 1);
    le16(out, uint32_t(bits));
    le32(out, 0);
    le32(out, uint32_t(data.size()));
    le32(out, 2835);
    le32(out, 2835);
    le32(out, uint32_t(palette.size()));
    le32(out, 0);
    return out + colours + data;
}

const ResArchive* TestArchive() {
    static std::vector<uint8_t> bytes;
    static ResArchive archive;
    if (bytes.empty()) {
        bytes = ArchiveWith({{kResTypeDialog, kTestDialog, kTestTemplate}});
        EXPECT_EQ(Res_Open(&archive, bytes.data(), uint32_t(bytes.size())), 0);
    }
    return &archive;
}

void UiTest::SetUp() {
    PlatformTest::SetUp();
    gTrace.clear();
    gCalls.clear();
    Ui_Headless_Reset();
    blocksAtStart_ = ul_nMallocs;
    Ui_Framework_Install(nullptr);
    ASSERT_EQ(Ui_State_Open(&state_, TestArchive(), nullptr, 1000, 1), 0);
}

void UiTest::TearDown() {
    Ui_State_Close(&state_);
    Ui_Headless_Reset();
    Ui_Framework_Uninstall();
    // Every dialog, list, brush, canvas and cursor went back.
    EXPECT_EQ(ul_nMallocs, blocksAtStart_);
    PlatformTest::TearDown();
}

int32_t UiTest::Run(int32_t dialogId, UiInitProc init, void* userData,
                    std::vector<UiScriptEvent> script, int16_t* item) {
    static const UiScriptEvent kNone{};
    script_ = std::move(script);
    // An empty script is still a script (the dialog closes at once), not the unattended mode.
    Ui_Headless_SetScript(script_.empty() ? &kNone : script_.data(), int32_t(script_.size()));
    return Ui_Dlg_Run(state_, dialogId, nullptr, init, userData, item);
}

std::vector<std::string> UiTest::LogWith(const std::string& text) const {
    std::vector<std::string> out;
    for (const std::string& line : LogLines()) {
        if (line.find(text) != std::string::npos) out.push_back(line);
    }
    return out;
}

Ui_Dlg* Record(UiWindow* dialog) {
    Ui_Dlg* d = nullptr;
    EXPECT_EQ(Ui_Dlg_Get(dialog, &d), 0);
    return d;
}

}  // namespace ui_testing
