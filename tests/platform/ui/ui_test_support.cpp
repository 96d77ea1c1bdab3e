#include "tests/platform/ui/ui_test_support.h"

#include <list>
#include <map>

#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
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

// A resizable dialog at 9 points: a picture that takes the room, a group on the right that stays
// vertically centred, buttons in the bottom right corner and a status line at the bottom left.
const char kResizableTemplate[] =
    "dialog 9001 240 160\n"
    "title \"Resizable\"\n"
    "font \"MS Sans Serif\" 9\n"
    "item 1 button 180 140 52 14 \"OK\" default\n"
    "item 2 button 124 140 52 14 \"Cancel\"\n"
    "item 3 user 8 8 160 124 \"\" border\n"
    "item 4 check 176 8 56 10 \"Box\"\n"
    "item 5 user 176 24 56 40 \"\" border\n"
    "item 6 static 8 140 100 10 \"Status\"\n"
    "item 7 edit 176 70 56 12 \"\"\n"
    "item 8 static 176 88 56 40 \"Text\"\n"
    "anchor stretch stretch 3\n"
    "anchor right centre 4-5 7-8\n"
    "anchor right bottom 1-2\n"
    "anchor left bottom 6\n";

// Calls kept alive for the script's lifetime.
std::list<std::function<void(UiWindow*)>> gCalls;

UiScriptEvent Event(int32_t kind, int16_t item = 0, int16_t v = 0, int16_t h = 0, int32_t value = 0,
                    const char* text = nullptr) {
    UiScriptEvent e{};
    e.kind = kind;
    e.item = item;
    e.v = v;
    e.h = h;
    e.value = value;
    e.text = text;
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
    return Event(kUiScriptClick, item);
}
UiScriptEvent Select(int16_t item, int32_t entry) {
    return Event(kUiScriptSelect, item, 0, 0, entry);
}
UiScriptEvent Notify(int16_t item, int32_t code) {
    return Event(kUiScriptNotify, item, 0, 0, code);
}
UiScriptEvent Type(int16_t item, const char* text) {
    return Event(kUiScriptEdit, item, 0, 0, 0, text);
}
UiScriptEvent Key(int32_t key, int16_t item, uint8_t ctrl, uint8_t alt) {
    UiScriptEvent e = Event(kUiScriptKey, item, 0, 0, key);
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}
UiScriptEvent Press(int16_t item, int16_t v, int16_t h) {
    return Event(kUiScriptPress, item, v, h);
}
UiScriptEvent DoublePress(int16_t item, int16_t v, int16_t h) {
    UiScriptEvent e = Event(kUiScriptPress, item, v, h);
    e.value = 2;
    return e;
}
UiScriptEvent Drag(int16_t v, int16_t h) {
    return Event(kUiScriptDrag, 0, v, h);
}
UiScriptEvent Release(int16_t v, int16_t h) {
    return Event(kUiScriptRelease, 0, v, h);
}
UiScriptEvent Move(int16_t v, int16_t h) {
    return Event(kUiScriptMove, 0, v, h);
}
UiScriptEvent Idle(int32_t ticks) {
    return Event(kUiScriptIdle, 0, 0, 0, ticks);
}
UiScriptEvent Choose(const char* path) {
    return Event(kUiScriptChoose, 0, 0, 0, 0, path);
}
UiScriptEvent Context(int16_t item, int16_t v, int16_t h) {
    return Event(kUiScriptContext, item, v, h);
}
UiScriptEvent MenuChoice(int32_t entry) {
    return Event(kUiScriptMenu, 0, 0, 0, entry);
}
UiScriptEvent Wheel(int16_t item, int16_t v, int16_t h, int32_t steps) {
    return Event(kUiScriptWheel, item, v, h, steps);
}
UiScriptEvent Resize(int16_t width, int16_t height) {
    return Event(kUiScriptResize, 0, height, width);
}
UiScriptEvent KeyDown(int32_t key) {
    return Event(kUiScriptKeyDown, 0, 0, 0, key);
}
UiScriptEvent KeyUp(int32_t key) {
    return Event(kUiScriptKeyUp, 0, 0, 0, key);
}
UiScriptEvent Holding(UiScriptEvent e, uint8_t ctrl, uint8_t alt, uint8_t shift) {
    e.ctrl = ctrl;
    e.alt = alt;
    e.shift = shift;
    return e;
}
UiScriptEvent Call(std::function<void(UiWindow*)> fn) {
    gCalls.push_back(std::move(fn));
    UiScriptEvent e = Event(kUiScriptCall);
    e.call = [](UiWindow* w, void* context) {
        (*static_cast<std::function<void(UiWindow*)>*>(context))(w);
    };
    e.context = &gCalls.back();
    return e;
}
UiScriptEvent For(int32_t dialogId, UiScriptEvent e) {
    e.dialogId = dialogId;
    return e;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

std::string RectText(const Ui_Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
}

std::vector<uint8_t> ArchiveWith(const std::vector<ExtraResource>& extra) {
    std::map<std::pair<uint32_t, uint32_t>, std::string> entries;
    const std::string module = testing_support::ModuleArchiveBytes();
    const auto* bytes = reinterpret_cast<const uint8_t*>(module.data());
    const uint32_t count = module.size() >= 12 ? Get32(bytes + 8) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* d = bytes + 12 + 16 * i;
        entries[{Get32(d), Get32(d + 4)}] = module.substr(Get32(d + 8), Get32(d + 12));
    }
    for (const ExtraResource& r : extra) entries[{r.type, r.id}] = r.data;
    std::vector<uint8_t> out = {'K', 'R', 'E', 'S'};
    Put32(out, 1);
    Put32(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(12 + 16 * entries.size());
    for (const auto& [key, data] : entries) {
        for (uint32_t v : {key.first, key.second, offset, uint32_t(data.size())}) Put32(out, v);
        offset += uint32_t(data.size());
    }
    for (const auto& [key, data] : entries) out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::string MakeBmp(int width, int height, const std::vector<uint32_t>& pixels,
                    const std::vector<uint32_t>& palette, bool topDown) {
    // Little-endian fields; colours are stored blue, green, red.
    auto le = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    };
    int bits = palette.empty() ? 24 : 8;
    int rowBytes = ((width * bits + 31) / 32) * 4;
    std::string data, colours;
    for (int r = 0; r < height; ++r) {
        int y = topDown ? r : height - 1 - r;
        std::string row;
        for (int x = 0; x < width; ++x) le(row, pixels[size_t(y * width + x)], bits / 8);
        row.resize(size_t(rowBytes), '\0');
        data += row;
    }
    for (uint32_t c : palette) le(colours, c, 4);
    std::string out = "BM";
    uint32_t offset = uint32_t(14 + 40 + colours.size());
    le(out, uint32_t(offset + data.size()), 4);
    le(out, 0, 4);
    le(out, offset, 4);
    le(out, 40, 4);
    le(out, uint32_t(width), 4);
    le(out, uint32_t(topDown ? -height : height), 4);
    le(out, 1, 2);
    le(out, uint32_t(bits), 2);
    for (uint32_t v : {0u, uint32_t(data.size()), 2835u, 2835u, uint32_t(palette.size()), 0u}) {
        le(out, v, 4);
    }
    return out + colours + data;
}

const ResArchive* TestArchive() {
    static std::vector<uint8_t> bytes;
    static ResArchive archive;
    if (bytes.empty()) {
        bytes = ArchiveWith({{kResTypeDialog, kTestDialog, kTestTemplate},
                             {kResTypeDialog, kResizableDialog, kResizableTemplate}});
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

void UiTest::SetScript(std::vector<UiScriptEvent> script) {
    static const UiScriptEvent kNone{};
    script_ = std::move(script);
    Ui_Headless_SetScript(script_.empty() ? &kNone : script_.data(), int32_t(script_.size()));
}

int32_t UiTest::Run(int32_t dialogId, UiInitProc init, void* userData,
                    std::vector<UiScriptEvent> script, int16_t* item) {
    SetScript(std::move(script));
    return Ui_Dlg_Run(state_, dialogId, nullptr, init, userData, item);
}

std::vector<std::string> UiTest::LogWith(const std::string& text) const {
    std::vector<std::string> out;
    for (const std::string& line : LogLines()) {
        if (line.find(text) != std::string::npos) out.push_back(line);
    }
    return out;
}

int32_t OutlineItem(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    if (Ui_Item_GetRect(w, item, &r) != 0 || Ui_Draw_Begin(w) != 0) return -2;
    const Ui_Color blue = Ui_ColorFromRGB(kOutline.r, kOutline.g, kOutline.b);
    Ui_Draw_FrameRect(w, &r, &blue);
    Ui_Draw_SetPen(w, &blue, 1);
    Ui_Draw_SetFont(w, kUiFontSmall);
    Ui_Draw_TextAt(w, std::to_string(item).c_str(), int16_t(r.top + 1), int16_t(r.left + 2),
                   kUiAlignLeft);
    return Ui_Draw_End(w);
}

Ui_Dlg* Record(UiWindow* dialog) {
    Ui_Dlg* d = nullptr;
    EXPECT_EQ(Ui_Dlg_Get(dialog, &d), 0);
    return d;
}

}  // namespace ui_testing
