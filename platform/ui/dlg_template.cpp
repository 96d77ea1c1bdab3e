// Dialog templates: parsing and dialog-unit conversion; see dlg_template.h.
#include "platform/ui/dlg_template.h"

#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace {

// Walks one line of a template: words separated by blanks, and quoted texts.
struct Line {
    const char* p;
    const char* end;

    void SkipBlanks() {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
    }
    bool AtEnd() {
        SkipBlanks();
        return p >= end;
    }
    // The dialog's or an item's name, which only the build reads (it names the constants of the
    // generated headers): a word starting with a capital letter, skipped when present. Kinds
    // and numbers never start with one.
    void SkipName() {
        SkipBlanks();
        if (p < end && *p >= 'A' && *p <= 'Z') {
            while (p < end && *p != ' ' && *p != '\t') ++p;
        }
    }
    // A word into buf (cap bytes); false when there is none or it does not fit.
    bool Word(char* buf, int cap) {
        SkipBlanks();
        int n = 0;
        while (p < end && *p != ' ' && *p != '\t') {
            if (n + 1 >= cap) return false;
            buf[n++] = *p++;
        }
        buf[n] = 0;
        return n > 0;
    }
    bool Number(int32_t lo, int32_t hi, int32_t* value) {
        char buf[16];
        if (!Word(buf, sizeof buf)) return false;
        int i = 0;
        bool negative = buf[0] == '-';
        if (negative) i = 1;
        if (buf[i] == 0) return false;
        int64_t v = 0;
        for (; buf[i] != 0; ++i) {
            if (buf[i] < '0' || buf[i] > '9') return false;
            v = v * 10 + (buf[i] - '0');
            if (v > 1000000) return false;
        }
        if (negative) v = -v;
        if (!(lo <= v && v <= hi)) return false;
        *value = int32_t(v);
        return true;
    }
    // A double-quoted text with the escapes \" \\ \n; false when unterminated or too long.
    bool Quoted(char* buf, int cap) {
        SkipBlanks();
        if (p >= end || *p != '"') return false;
        ++p;
        int n = 0;
        while (p < end && *p != '"') {
            char c = *p++;
            if (c == '\\') {
                if (p >= end) return false;
                c = *p++;
                if (c == 'n') {
                    c = '\n';
                } else if (c != '"' && c != '\\') {
                    return false;
                }
            }
            if (n + 1 >= cap) return false;
            buf[n++] = c;
        }
        if (p >= end) return false;
        ++p;
        buf[n] = 0;
        return true;
    }
};

bool Equal(const char* a, const char* b) {
    return Str_Compare(a, b) == 0;
}

struct KindName {
    const char* name;
    uint8_t kind;
};
constexpr KindName kKinds[] = {
    {"button", kUiItemButton}, {"check", kUiItemCheck}, {"combo", kUiItemCombo},
    {"static", kUiItemStatic}, {"edit", kUiItemEdit},   {"user", kUiItemUser},
    {"icon", kUiItemIcon},
};

struct FlagName {
    const char* name;
    uint32_t flag;
};
constexpr FlagName kFlags[] = {
    {"default", kUiFlagDefault}, {"hidden", kUiFlagHidden},       {"disabled", kUiFlagDisabled},
    {"auto", kUiFlagAuto},       {"center", kUiFlagCenter},       {"right", kUiFlagRight},
    {"nowrap", kUiFlagNoWrap},   {"multiline", kUiFlagMultiline}, {"readonly", kUiFlagReadOnly},
    {"border", kUiFlagBorder},
};

// One line of the text, without its line end, and where the next one starts.
Line LineAt(const char* p, const char* end, const char** next) {
    const char* eol = p;
    while (eol < end && *eol != '\n') ++eol;
    *next = eol < end ? eol + 1 : eol;
    if (eol > p && eol[-1] == '\r') --eol;
    return Line{p, eol};
}

// Counts the item lines first so that the template and its items fit one block. A line counts
// when its first word is read as "item" exactly as the parser reads it: counting by a text of
// its own let a line the parser takes for an item (the keyword followed by a tab) go uncounted,
// and the item was written past the block.
int32_t CountItems(const char* text, const char* end) {
    int32_t count = 0;
    for (const char* p = text; p < end;) {
        Line line = LineAt(p, end, &p);
        char keyword[16];
        if (line.Word(keyword, sizeof keyword) && Equal(keyword, "item")) ++count;
    }
    return count;
}

int32_t ParseItem(Line& line, Ui_DlgTemplate* t, int32_t capacity) {
    int32_t number, x, y, w, h;
    char kind[16];
    if (t->itemCount >= capacity) return kStatusFormat;
    if (!line.Number(1, kUiMaxItems, &number) || number != t->itemCount + 1) return kStatusFormat;
    line.SkipName();
    Ui_DlgItem& item = t->items[t->itemCount];
    Mem_Fill(&item, 0, sizeof item);
    item.number = int16_t(number);
    if (!line.Word(kind, sizeof kind)) return kStatusFormat;
    for (const KindName& k : kKinds) {
        if (Equal(kind, k.name)) item.kind = k.kind;
    }
    if (item.kind == 0) return kStatusFormat;
    if (!line.Number(0, kUiMaxUnits, &x) || !line.Number(0, kUiMaxUnits, &y) ||
        !line.Number(0, kUiMaxUnits, &w) || !line.Number(0, kUiMaxUnits, &h)) {
        return kStatusFormat;
    }
    if (x + w > kUiMaxUnits || y + h > kUiMaxUnits) return kStatusFormat;
    item.units = Ui_Rect_Make(y, x, y + h, x + w);
    if (!line.Quoted(item.text, sizeof item.text)) return kStatusFormat;
    char flag[16];
    while (!line.AtEnd()) {
        if (!line.Word(flag, sizeof flag)) return kStatusFormat;
        uint32_t found = 0;
        for (const FlagName& f : kFlags) {
            if (Equal(flag, f.name)) found = f.flag;
        }
        if (found == 0) return kStatusFormat;
        item.flags |= found;
    }
    ++t->itemCount;
    return kStatusOk;
}

struct AnchorName {
    const char* name;
    uint8_t anchor;
};
constexpr AnchorName kAnchorsH[] = {{"left", kUiAnchorStart},
                                    {"right", kUiAnchorEnd},
                                    {"centre", kUiAnchorCentre},
                                    {"stretch", kUiAnchorStretch}};
constexpr AnchorName kAnchorsV[] = {{"top", kUiAnchorStart},
                                    {"bottom", kUiAnchorEnd},
                                    {"centre", kUiAnchorCentre},
                                    {"stretch", kUiAnchorStretch}};

template <size_t N>
uint8_t AnchorNamed(const char* word, const AnchorName (&names)[N]) {
    for (const AnchorName& a : names) {
        if (Equal(word, a.name)) return a.anchor;
    }
    return kUiAnchorNone;
}

// "anchor H V ITEM..." where an ITEM is a number or a range "first-last" of items listed above.
int32_t ParseAnchor(Line& line, Ui_DlgTemplate* t) {
    char h[16], v[16], word[16];
    if (!line.Word(h, sizeof h) || !line.Word(v, sizeof v)) return kStatusFormat;
    uint8_t anchorH = AnchorNamed(h, kAnchorsH), anchorV = AnchorNamed(v, kAnchorsV);
    if (anchorH == kUiAnchorNone || anchorV == kUiAnchorNone || line.AtEnd()) return kStatusFormat;
    while (!line.AtEnd()) {
        if (!line.Word(word, sizeof word)) return kStatusFormat;
        // Split a range at its dash and read both ends as numbers of their own.
        const char* dash = Str_FindChar(word + 1, '-');
        int32_t first = 0, last = 0;
        Line a{word, dash != nullptr ? dash : word + Str_Length(word)};
        if (!a.Number(1, t->itemCount, &first) || !a.AtEnd()) return kStatusFormat;
        last = first;
        if (dash != nullptr) {
            Line b{dash + 1, word + Str_Length(word)};
            if (!b.Number(first, t->itemCount, &last) || !b.AtEnd()) return kStatusFormat;
        }
        for (int32_t i = first; i <= last; ++i) {
            t->items[i - 1].anchorH = anchorH;
            t->items[i - 1].anchorV = anchorV;
        }
    }
    return kStatusOk;
}

// The anchor an item follows on one axis: its own, or the old rule's for it. near and far are
// its edges on that axis in the template's layout, size the client area's extent there.
uint8_t Resolve(uint8_t anchor, bool grows, int32_t nearEdge, int32_t farEdge, int32_t size) {
    if (anchor != kUiAnchorNone) return anchor;
    if (grows) return kUiAnchorStretch;
    return size - farEdge < nearEdge ? kUiAnchorEnd : kUiAnchorStart;
}

// How far an anchored item's near and far edges have moved for a client area d pixels larger
// than the template's on that axis.
void Moves(uint8_t anchor, int32_t d, int32_t* nearMove, int32_t* farMove) {
    *nearMove = *farMove = 0;
    if (anchor == kUiAnchorEnd) *nearMove = *farMove = d;
    if (anchor == kUiAnchorCentre) *nearMove = *farMove = d / 2;
    if (anchor == kUiAnchorStretch) *farMove = d;
}

// One axis of an item moving from a client area dFrom larger than the template's to dTo larger;
// false when an edge would leave the 16-bit range.
bool Shift(uint8_t anchor, int32_t dFrom, int32_t dTo, int32_t* nearEdge, int32_t* farEdge) {
    int32_t n0, f0, n1, f1;
    Moves(anchor, dFrom, &n0, &f0);
    Moves(anchor, dTo, &n1, &f1);
    int32_t nearNow = *nearEdge + (n1 - n0), farNow = *farEdge + (f1 - f0);
    if (farNow < nearNow) farNow = nearNow;
    if (!(-32768 <= nearNow && farNow <= 32767)) return false;
    *nearEdge = nearNow;
    *farEdge = farNow;
    return true;
}

// Where an item of the template goes from a client area (fromW, fromH) larger than the
// template's to (toW, toH); grows: the old rule's growing item. false when it would leave the
// 16-bit range; out may be null.
bool PlaceItem(const Ui_DlgTemplate* t, const Ui_DlgItem& item, bool grows, const Ui_Rect& current,
               int32_t fromW, int32_t fromH, int32_t toW, int32_t toH, Ui_Rect* out) {
    const int32_t width = Ui_Rect_Width(&t->client), height = Ui_Rect_Height(&t->client);
    const Ui_Rect& p = item.pixels;
    uint8_t h = Resolve(item.anchorH, grows, p.left, p.right, width);
    uint8_t v = Resolve(item.anchorV, grows, p.top, p.bottom, height);
    auto extra = [](int32_t size, int32_t own) { return size > own ? size - own : 0; };
    int32_t left = current.left, right = current.right, top = current.top, bottom = current.bottom;
    if (!Shift(h, extra(fromW, width), extra(toW, width), &left, &right) ||
        !Shift(v, extra(fromH, height), extra(toH, height), &top, &bottom)) {
        return false;
    }
    if (out != nullptr) *out = Ui_Rect_Make(top, left, bottom, right);
    return true;
}

}  // namespace

int32_t Ui_Template_Parse(const uint8_t* bytes, uint32_t size, Ui_DlgTemplate** out,
                          int32_t* errorLine) {
    if (errorLine != nullptr) *errorLine = 0;
    if (out == nullptr) return kStatusProblem;
    *out = nullptr;
    if (bytes == nullptr) return kStatusProblem;
    const char* text = reinterpret_cast<const char*>(bytes);
    const char* end = text + size;
    int32_t items = CountItems(text, end);
    if (items > kUiMaxItems) return kStatusFormat;
    uint32_t total = uint32_t(sizeof(Ui_DlgTemplate) + sizeof(Ui_DlgItem) * uint32_t(items));
    MemBlock<uint8_t> block(total);
    if (!block) return kStatusNoMemory;
    auto* t = reinterpret_cast<Ui_DlgTemplate*>(block.get());
    Mem_Fill(t, 0, sizeof *t);
    t->items = reinterpret_cast<Ui_DlgItem*>(t + 1);
    Str_Copy(t->fontFace, "MS Sans Serif");
    t->fontPoints = 8;

    bool haveDialog = false;
    int32_t lineNumber = 0;
    const char* p = text;
    while (p < end) {
        ++lineNumber;
        Line line = LineAt(p, end, &p);
        if (line.AtEnd() || *line.p == '#') continue;
        char keyword[16];
        int32_t status = kStatusFormat;
        if (!line.Word(keyword, sizeof keyword)) {
            status = kStatusFormat;
        } else if (Equal(keyword, "dialog") && !haveDialog) {
            int32_t id = 0, w, h;
            bool haveId = line.Number(0, 32767, &id);
            line.SkipName();
            if (haveId && line.Number(1, kUiMaxUnits, &w) && line.Number(1, kUiMaxUnits, &h) &&
                line.AtEnd()) {
                t->id = id;
                t->width = int16_t(w);
                t->height = int16_t(h);
                haveDialog = true;
                status = kStatusOk;
            }
        } else if (!haveDialog) {
            status = kStatusFormat;  // everything else follows the dialog line
        } else if (Equal(keyword, "title")) {
            if (line.Quoted(t->title, sizeof t->title) && line.AtEnd()) status = kStatusOk;
        } else if (Equal(keyword, "font")) {
            int32_t points;
            if (line.Quoted(t->fontFace, sizeof t->fontFace) && line.Number(1, 72, &points) &&
                line.AtEnd()) {
                t->fontPoints = int16_t(points);
                status = kStatusOk;
            }
        } else if (Equal(keyword, "item")) {
            status = ParseItem(line, t, items);
        } else if (Equal(keyword, "anchor")) {
            status = ParseAnchor(line, t);
        }
        if (status != kStatusOk) {
            if (errorLine != nullptr) *errorLine = lineNumber;
            return status;
        }
    }
    if (!haveDialog) {
        if (errorLine != nullptr) *errorLine = lineNumber;
        return kStatusFormat;
    }
    *out = reinterpret_cast<Ui_DlgTemplate*>(block.Release());
    return kStatusOk;
}

int32_t Ui_Template_Load(UiState* state, int32_t id, Ui_DlgTemplate** out) {
    if (state == nullptr || out == nullptr) return kStatusProblem;
    *out = nullptr;
    if (state->resSrc == nullptr || id < 0) return kStatusProblem;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t status = Res_Find(state->resSrc, kResTypeDialog, uint32_t(id), &data, &size);
    if (status != kStatusOk) return status;
    return Ui_Template_Parse(data, size, out, nullptr);
}

int32_t Ui_Template_Free(Ui_DlgTemplate** t) {
    if (t == nullptr) return kStatusProblem;
    *t = static_cast<Ui_DlgTemplate*>(Mem_Free(*t));
    return kStatusOk;
}

const Ui_DlgItem* Ui_Template_Item(const Ui_DlgTemplate* t, int32_t number) {
    if (t == nullptr || !(1 <= number && number <= t->itemCount)) return nullptr;
    return &t->items[number - 1];
}

int32_t Ui_MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t n = int64_t(a) * b;
    bool negative = (n < 0) != (c < 0);
    int64_t un = n < 0 ? -n : n, uc = c < 0 ? -int64_t(c) : c;
    int64_t q = (un + uc / 2) / uc;
    return int32_t(negative ? -q : q);
}

int32_t Ui_BaseUnitsFromFont(int32_t alphabetWidth, int32_t height, Ui_BaseUnits* out) {
    if (out == nullptr || alphabetWidth <= 0 || height <= 0) return kStatusProblem;
    out->x = (alphabetWidth / 26 + 1) / 2;
    out->y = height;
    return kStatusOk;
}

int32_t Ui_UnitsToPixels(const Ui_BaseUnits* base, const Ui_Rect* units, Ui_Rect* pixels) {
    if (base == nullptr || units == nullptr || pixels == nullptr) return kStatusProblem;
    if (!(1 <= base->x && base->x <= 30 && 1 <= base->y && base->y <= 30)) return kStatusProblem;
    Ui_Rect r;
    r.left = int16_t(Ui_MulDiv(units->left, base->x, 4));
    r.right = int16_t(Ui_MulDiv(units->right, base->x, 4));
    r.top = int16_t(Ui_MulDiv(units->top, base->y, 8));
    r.bottom = int16_t(Ui_MulDiv(units->bottom, base->y, 8));
    *pixels = r;
    return kStatusOk;
}

int32_t Ui_Template_Layout(Ui_DlgTemplate* t, const Ui_BaseUnits* base) {
    if (t == nullptr || base == nullptr) return kStatusProblem;
    Ui_Rect client = Ui_Rect_Make(0, 0, t->height, t->width);
    int32_t status = Ui_UnitsToPixels(base, &client, &t->client);
    for (int32_t i = 0; status == kStatusOk && i < t->itemCount; ++i) {
        status = Ui_UnitsToPixels(base, &t->items[i].units, &t->items[i].pixels);
    }
    return status;
}

int32_t Ui_Template_LayoutSized(Ui_DlgTemplate* t, const Ui_BaseUnits* base, int32_t width,
                                int32_t height, int32_t grow) {
    if (t == nullptr || base == nullptr || !(0 <= grow && grow <= t->itemCount)) {
        return kStatusProblem;
    }
    int32_t status = Ui_Template_Layout(t, base);
    if (status != kStatusOk) return status;
    const int32_t oldWidth = Ui_Rect_Width(&t->client), oldHeight = Ui_Rect_Height(&t->client);
    if (!(oldWidth <= width && width <= 32767 && oldHeight <= height && height <= 32767)) {
        return kStatusProblem;
    }
    // Every item is checked before any moves, so that a refusal leaves the plain layout.
    for (int32_t i = 0; i < t->itemCount; ++i) {
        if (!PlaceItem(t, t->items[i], i + 1 == grow, t->items[i].pixels, oldWidth, oldHeight,
                       width, height, nullptr)) {
            return kStatusProblem;
        }
    }
    for (int32_t i = 0; i < t->itemCount; ++i) {
        PlaceItem(t, t->items[i], i + 1 == grow, t->items[i].pixels, oldWidth, oldHeight, width,
                  height, &t->items[i].pixels);
    }
    t->client = Ui_Rect_Make(0, 0, height, width);
    return kStatusOk;
}

int32_t Ui_Template_Follow(const Ui_DlgTemplate* t, int32_t item, const Ui_Rect* current,
                           int32_t fromW, int32_t fromH, int32_t toW, int32_t toH, Ui_Rect* out) {
    const Ui_DlgItem* it = Ui_Template_Item(t, item);
    if (it == nullptr || current == nullptr || out == nullptr) return kStatusProblem;
    return PlaceItem(t, *it, false, *current, fromW, fromH, toW, toH, out) ? kStatusOk
                                                                           : kStatusProblem;
}
