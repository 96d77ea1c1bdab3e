// The help window; see help_window.h.
#include "edit/window/help_window.h"

#include "edit/window/dialog_tips.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui/system.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/resources.h"
#include "resources/ids/strings.h"

namespace {

// Measuring stops this many pixels below the text area's top: a topic longer than that is cut.
// A topic taller than the screen scrolls, so the limit only guards against a runaway file.
constexpr int32_t kMeasureLimit = 200000;
// The scroll bar along the text's right edge, when the topic is taller than the window can be.
constexpr int32_t kBarWidth = 12;
constexpr int32_t kThumbMin = 16;
constexpr int32_t kWheelLines = 3;                // lines a wheel notch moves
constexpr int32_t kReadSize = kHelpLineSize + 2;  // room for the line feed and the terminator

struct HelpWindow {
    const HelpContext* context;
    FLFile file;
    char* line;       // kReadSize bytes
    char* paragraph;  // kHelpLineSize + 1 bytes
    char* piece;      // kHelpLineSize + 1 bytes: a wrapped line being measured
    int32_t topic;
    int32_t topicPosition;  // file position after the topic's title line
    int32_t check;          // "Don't Show Again" is set
    // Scrolling, for a topic taller than the window can be: the topic's height at the width it
    // is drawn at, how far it is scrolled (pixels above the area's top), and a thumb drag's
    // start (the pointer and the scroll then).
    uint8_t scrolls;
    int32_t textHeight;
    int32_t scroll;
    int32_t dragFromV, dragScroll;
};

HelpWindow* Of(UiWindow* w) {
    return Ui_Dlg_UserData<HelpWindow>(w);
}

// Reads one line without its line end; at the end of the file the line is empty and *atEnd set.
int32_t ReadLine(FLFile* file, char* line, bool* atEnd) {
    int32_t n = kReadSize;
    int32_t status = FLReadLine(file, line, &n);
    if (status != kStatusOk) return status;
    *atEnd = n == 0;
    if (n > 0 && line[n - 1] == '\n') line[n - 1] = 0;
    return kStatusOk;
}

// The number after a leading "#" or ")": digits only, at most seven; -1 when there is none.
int32_t NumberAfter(const char* text) {
    int32_t value = 0, digits = 0;
    for (const char* p = text + 1; '0' <= *p && *p <= '9'; ++p) {
        if (++digits > 7) return -1;
        value = value * 10 + (*p - '0');
    }
    return digits > 0 ? value : -1;
}

int32_t LineHeight(UiWindow* w) {
    int16_t width = 0, height = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "Ag", &width, &height);
    return height > 0 ? height : 1;
}

int32_t TextWidth(UiWindow* w, const char* text) {
    int16_t width = 0, height = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, text, &width, &height);
    return width;
}

// Lays a paragraph out in words over lines no wider than width, from the top y; draws the lines
// when asked. A word wider than the line stands on a line of its own (and is cut by the clip).
// Returns the height taken.
int32_t WrapParagraph(HelpWindow* h, UiWindow* w, const char* text, int32_t left, int32_t width,
                      int32_t y, bool draw) {
    const int32_t lineHeight = LineHeight(w);
    int32_t lines = 0;
    const char* p = text;
    while (*p == ' ') ++p;
    while (*p != 0) {
        // Take words while the line still fits.
        const char* end = p;
        const char* fits = nullptr;
        while (*end != 0) {
            const char* wordEnd = end;
            while (*wordEnd == ' ') ++wordEnd;
            while (*wordEnd != 0 && *wordEnd != ' ') ++wordEnd;
            const size_t n = size_t(wordEnd - p);
            Mem_Copy(h->piece, p, n);
            h->piece[n] = 0;
            if (fits != nullptr && TextWidth(w, h->piece) > width) break;
            fits = wordEnd;
            end = wordEnd;
        }
        const size_t n = size_t(fits - p);
        Mem_Copy(h->piece, p, n);
        h->piece[n] = 0;
        if (draw) {
            Ui_Draw_TextAt(w, h->piece, int16_t(y + lines * lineHeight), int16_t(left),
                           kUiAlignLeft);
        }
        ++lines;
        p = fits;
        while (*p == ' ') ++p;
    }
    return lines * lineHeight;
}

// Lays the topic out from its file position in area (used both to measure and to draw). The
// paragraph spacing is one text line; measuring runs to kMeasureLimit below the top, drawing to
// the area's bottom. *height: the height of the topic (the final position less the top and less
// one spacing); *widest: the widest picture.
int32_t LayoutTopic(HelpWindow* h, UiWindow* w, const Ui_Rect& area, bool draw, int32_t limit,
                    int32_t* height, int32_t* widest) {
    const int32_t spacing = LineHeight(w);
    int32_t y = area.top;
    *widest = 0;
    int32_t status = FLSeek(&h->file, h->topicPosition, 0);
    bool atEnd = false, topicEnds = false;
    while (status == kStatusOk && !topicEnds && y <= limit) {
        status = ReadLine(&h->file, h->line, &atEnd);
        // Anything but a paragraph start ends the topic (a new topic's "#" among them).
        if (status != kStatusOk || atEnd || Str_Compare(h->line, "?") != 0) break;
        h->paragraph[0] = 0;
        size_t length = 0;
        for (;;) {
            status = ReadLine(&h->file, h->line, &atEnd);
            if (status != kStatusOk || atEnd || h->line[0] == '#') {
                topicEnds = true;
                break;
            }
            if (h->line[0] == '*') break;
            // The lines join with blanks in place of their line ends, up to the buffer's size.
            if (length > 0 && length < size_t(kHelpLineSize)) h->paragraph[length++] = ' ';
            for (const char* c = h->line; *c != 0 && length < size_t(kHelpLineSize); ++c) {
                h->paragraph[length++] = *c;
            }
            h->paragraph[length] = 0;
        }
        if (status != kStatusOk) break;
        const int32_t bitmap = h->paragraph[0] == ')' ? NumberAfter(h->paragraph) : -1;
        if (bitmap >= 0) {
            Ui_Offscreen* image = nullptr;
            // A picture that cannot be loaded takes no room; the text around it still shows.
            if (Ui_Bitmap_Load(h->context->state, kResTypeBitmap, bitmap, &image) == kStatusOk) {
                if (draw) {
                    const Ui_Rect r =
                        Ui_Rect_Make(y, area.left, y + image->height, area.left + image->width);
                    Ui_Draw_Bitmap(w, bitmap, &r, kUiAlignLeft);
                }
                if (image->width > *widest) *widest = image->width;
                y += image->height;
                Ui_Offscreen_Free(&image);
            }
        } else {
            y += WrapParagraph(h, w, h->paragraph, area.left, Ui_Rect_Width(&area), y, draw);
        }
        y += spacing;
    }
    const int32_t measured = y - area.top - spacing;
    *height = measured > 0 ? measured : 0;
    return status;
}

// The text area and, when the topic scrolls, the scroll bar beside it.
void SplitArea(const HelpWindow* h, const Ui_Rect& item, Ui_Rect* text, Ui_Rect* bar) {
    *text = item;
    *bar = Ui_Rect_Make(item.top, item.right, item.bottom, item.right);
    if (h->scrolls == 0) return;
    text->right = int16_t(item.right - kBarWidth - 2);
    bar->left = int16_t(item.right - kBarWidth);
}

// The thumb: as long against the bar as the area is against the topic, where the scroll puts it.
Ui_Rect Thumb(const HelpWindow* h, const Ui_Rect& bar) {
    const int32_t track = Ui_Rect_Height(&bar);
    const int32_t total = h->textHeight > track ? h->textHeight : track;
    int32_t length = track * track / total;
    if (length < kThumbMin) length = kThumbMin < track ? kThumbMin : track;
    const int32_t room = track - length;
    const int32_t most = total - track;
    const int32_t top = bar.top + (most > 0 ? room * h->scroll / most : 0);
    return Ui_Rect_Make(top, bar.left, top + length, bar.right);
}

int32_t MostScroll(const HelpWindow* h, const Ui_Rect& text) {
    const int32_t most = h->textHeight - Ui_Rect_Height(&text);
    return most > 0 ? most : 0;
}

int32_t DrawText(UiWindow* w, int16_t item) {
    HelpWindow* h = Of(w);
    Ui_Rect r;
    if (h == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color ink = Ui_ColorFromRGB(0, 0, 0);
    Ui_Draw_FillRect(w, &r, nullptr);
    Ui_Rect text, bar;
    SplitArea(h, r, &text, &bar);
    Ui_Draw_SetClip(w, &text);
    Ui_Draw_SetPen(w, &ink, 1);
    Ui_Rect shifted = text;
    shifted.top = int16_t(text.top - h->scroll);
    int32_t height = 0, widest = 0;
    LayoutTopic(h, w, shifted, true, text.bottom, &height, &widest);
    Ui_Draw_SetClip(w, nullptr);
    if (h->scrolls != 0) {
        const Ui_Color track = Ui_ColorFromRGB(232, 232, 232);
        const Ui_Color thumb = Ui_ColorFromRGB(150, 150, 150);
        Ui_Draw_FillRect(w, &bar, &track);
        const Ui_Rect t = Thumb(h, bar);
        Ui_Draw_FillRect(w, &t, &thumb);
    }
    return Ui_Draw_End(w);
}

// Scrolls the topic to value (held within the topic) and repaints it when that moved it.
void ScrollTo(UiWindow* w, HelpWindow* h, int32_t value) {
    Ui_Rect r, text, bar;
    if (h->scrolls == 0 || Ui_Item_GetRect(w, kHelpText, &r) != kStatusOk) return;
    SplitArea(h, r, &text, &bar);
    const int32_t most = MostScroll(h, text);
    if (value > most) value = most;
    if (value < 0) value = 0;
    if (value == h->scroll) return;
    h->scroll = value;
    Ui_Item_Invalidate(w, kHelpText);
}

int32_t Wheel(UiWindow* w, int16_t, int16_t, int16_t, int32_t steps) {
    HelpWindow* h = Of(w);
    if (h == nullptr) return kStatusError;
    ScrollTo(w, h, h->scroll + steps * kWheelLines * LineHeight(w));
    return kStatusOk;
}

// Page Up and Page Down move by the area less a line, Home and End to either end, the arrows
// (where the focus leaves them to the window) by a line. 1 when the key scrolled.
int32_t Key(UiWindow* w, uint8_t key, uint8_t) {
    HelpWindow* h = Of(w);
    Ui_Rect r, text, bar;
    if (h == nullptr || h->scrolls == 0 || Ui_Item_GetRect(w, kHelpText, &r) != kStatusOk) {
        return 0;
    }
    SplitArea(h, r, &text, &bar);
    const int32_t line = LineHeight(w);
    const int32_t page = Ui_Rect_Height(&text) > 2 * line ? Ui_Rect_Height(&text) - line : line;
    switch (key) {
        case 33:  // Page Up
            ScrollTo(w, h, h->scroll - page);
            return 1;
        case 34:  // Page Down
            ScrollTo(w, h, h->scroll + page);
            return 1;
        case 35:  // End
            ScrollTo(w, h, MostScroll(h, text));
            return 1;
        case 36:  // Home
            ScrollTo(w, h, 0);
            return 1;
        case 38:  // Up
            ScrollTo(w, h, h->scroll - line);
            return 1;
        case 40:  // Down
            ScrollTo(w, h, h->scroll + line);
            return 1;
        default:
            return 0;
    }
}

// A press on the scroll bar: on the thumb it is dragged, above or below it the topic moves by a
// page. Elsewhere in the text a press does nothing.
int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    HelpWindow* h = Of(w);
    Ui_Dlg* d = nullptr;
    Ui_Rect r, text, bar;
    if (h == nullptr || item != kHelpText || h->scrolls == 0 || Ui_Dlg_Get(w, &d) != kStatusOk ||
        Ui_Item_GetRect(w, kHelpText, &r) != kStatusOk) {
        return 0;
    }
    SplitArea(h, r, &text, &bar);
    if (phase == kUiTrackBegin) {
        if (!Ui_Rect_ContainsPoint(&bar, d->mouseV, d->mouseH)) return 0;
        const Ui_Rect thumb = Thumb(h, bar);
        if (d->mouseV < thumb.top || d->mouseV >= thumb.bottom) {
            const int32_t page = Ui_Rect_Height(&text) - LineHeight(w);
            ScrollTo(w, h, h->scroll + (d->mouseV < thumb.top ? -page : page));
            return 0;
        }
        h->dragFromV = d->mouseV;
        h->dragScroll = h->scroll;
        return 1;
    }
    if (phase == kUiTrackDrag) {
        // The thumb follows the pointer: its travel over the bar is the topic's over the area.
        const Ui_Rect thumb = Thumb(h, bar);
        const int32_t room = Ui_Rect_Height(&bar) - Ui_Rect_Height(&thumb);
        const int32_t most = MostScroll(h, text);
        if (room > 0) {
            ScrollTo(w, h, h->dragScroll + (d->mouseV - h->dragFromV) * most / room);
        }
        return 0;
    }
    return 1;  // the release: handled, no item hit
}

int32_t DrawPicture(UiWindow* w, int16_t item) {
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    Ui_Draw_Bitmap(w, kResHelpPicture, &r, kUiAlignLeft);
    return Ui_Draw_End(w);
}

int32_t OpenAddress(UiWindow* w, HelpWindow* h, bool faq) {
    char address[kPathSize * 2];
    UiState* state = h->context->state;
    const int32_t status = faq ? HelpFaqAddress(state, address, sizeof address)
                               : HelpGuideAddress(state, h->topic, address, sizeof address);
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    if (status != kStatusOk) {
        Ui_Failure_Describe(&failure, status, 0);
    } else {
        Ui_Web_Open(state, address, &failure);
    }
    Ui_Failure_Show(state, &failure);
    (void)w;
    return kStatusOk;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    HelpWindow* h = Of(w);
    if (h == nullptr) return kStatusError;
    switch (item) {
        case kHelpOk:
        case kHelpPicture:  // item 2: Escape
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kHelpUserGuide:
            return OpenAddress(w, h, false);
        case kHelpFaqSite:
            return OpenAddress(w, h, true);
        case kHelpDontShowAgain:
            return Ui_Item_ToggleCheck(w, kHelpDontShowAgain, &h->check);
        default:
            return kStatusOk;
    }
}

int32_t MoveBy(UiWindow* w, int16_t item, int32_t h, int32_t v) {
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk || Ui_Rect_Offset(&r, h, v) != kStatusOk) {
        return kStatusError;
    }
    return Ui_Item_Move(w, item, &r);
}

int32_t Init(UiWindow* w) {
    HelpWindow* h = Of(w);
    if (h == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgHelp);
    Ui_Item_SetDefault(w, kHelpOk);
    const Ui_Color white = Ui_ColorFromRGB(255, 255, 255);
    Ui_Draw_SetBackColor(w, &white);
    Ui_Dlg_SetDrawProc(w, kHelpText, DrawText);
    Ui_Dlg_SetDrawProc(w, kHelpPicture, DrawPicture);
    Ui_Dlg_SetWheelProc(w, Wheel);
    Ui_Dlg_SetKeyProc(w, Key);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Item_SetCheck(w, kHelpDontShowAgain, h->check);
    Ui_Item_PlainStyle(w, kHelpDontShowAgain);
    Ui_Item_Show(w, kHelpDontShowAgain, h->topic == kTopicStartUpGuide ? 1 : 0);

    Ui_Rect area;
    if (Ui_Item_GetRect(w, kHelpText, &area) != kStatusOk) return kStatusError;
    int32_t height = 0, widest = 0;
    int32_t status = LayoutTopic(h, w, area, false, area.top + kMeasureLimit, &height, &widest);
    if (status != kStatusOk) return status;
    const int32_t width = widest > Ui_Rect_Width(&area) ? widest : Ui_Rect_Width(&area);
    int32_t addedWidth = width - Ui_Rect_Width(&area);
    int32_t addedHeight = height - Ui_Rect_Height(&area);
    // The window never grows past the screen's work area; a longer topic scrolls, wrapped
    // again beside the scroll bar it then needs.
    int16_t outerWidth = 0, outerHeight = 0;
    if (Ui_Dlg_GetSize(w, &outerWidth, &outerHeight) != kStatusOk) return kStatusError;
    Ui_Rect work;
    if (Ui_Screen_WorkArea(&work) == kStatusOk) {
        if (outerHeight + addedHeight > Ui_Rect_Height(&work)) {
            addedHeight = Ui_Rect_Height(&work) - outerHeight;
            h->scrolls = 1;
        }
        if (outerWidth + addedWidth > Ui_Rect_Width(&work)) {
            addedWidth = Ui_Rect_Width(&work) - outerWidth;
        }
    }
    h->textHeight = height;
    if (h->scrolls != 0) {
        Ui_Rect narrower = area;
        narrower.right = int16_t(area.right + addedWidth - kBarWidth - 2);
        status =
            LayoutTopic(h, w, narrower, false, area.top + kMeasureLimit, &h->textHeight, &widest);
        if (status != kStatusOk) return status;
    }
    area.right = int16_t(area.right + addedWidth);
    area.bottom = int16_t(area.bottom + addedHeight);
    Ui_Item_Move(w, kHelpText, &area);
    MoveBy(w, kHelpOk, addedWidth, addedHeight);
    MoveBy(w, kHelpDontShowAgain, addedWidth, addedHeight);
    MoveBy(w, kHelpUserGuide, 0, addedHeight);
    MoveBy(w, kHelpFaqSite, 0, addedHeight);
    status =
        Ui_Dlg_SetSize(w, int16_t(outerWidth + addedWidth), int16_t(outerHeight + addedHeight));
    if (status != kStatusOk) return status;
    status = Ui_Dlg_Centre(w);
    return status;
}

// The guide page of each topic that has one of its own.
struct GuidePage {
    int32_t topic;
    int32_t addressId;
};
constexpr GuidePage kGuidePages[] = {
    {kTopicColorBalance, kStrGuideColorBalance}, {kTopicBlackWhite, kStrGuideBlackWhite},
    {kTopicBrightness, kStrGuideBrightness},     {kTopicHueSelective, kStrGuideHueSelective},
    {kTopicMemoryColor, kStrGuideMemoryColor},   {kTopicPreferences, kStrGuidePreferences},
    {kTopicKeenhuePrefs, kStrGuideKeenhuePrefs}, {kTopicSharpenNoise, kStrGuideSharpenNoise},
    {kTopicNeutralDef, kStrGuideColorDefs},      {kTopicGrayscaleDef, kStrGuideColorDefs},
    {kTopicSepiaDef, kStrGuideColorDefs},        {kTopicToningDef, kStrGuideColorDefs},
};

int32_t AddressOf(UiState* state, int32_t addressId, char* address, int32_t capacity) {
    if (address == nullptr || capacity < 1) return kStatusProblem;
    address[0] = 0;
    // The address's "%s" is the folder as a URL's path: a Windows folder ("C:\\x\\") put in
    // as it is would give "file://C:\\x\\", which names a host "C" and no file.
    char folder[kPathSize], urlPath[3 * kPathSize], pattern[256];
    int32_t status = Ui_Path_SetToModuleFolder(folder);
    if (status == kStatusOk) status = Ui_Path_ToUrlPath(folder, urlPath, sizeof urlPath);
    if (status != kStatusOk) return status;
    Ui_ResToCString(state, addressId, pattern);
    Str_FormatPhrase(address, size_t(capacity), pattern, 0, urlPath);
    return kStatusOk;
}

}  // namespace

int32_t HelpFindTopic(FLFile* file, int32_t topic, char* line, int32_t* lineNumber) {
    if (file == nullptr || line == nullptr || lineNumber == nullptr) return kStatusProblem;
    *lineNumber = 0;
    int32_t status = FLSeek(file, 0, 0);
    bool atEnd = false;
    while (status == kStatusOk) {
        ++*lineNumber;
        status = ReadLine(file, line, &atEnd);
        if (status != kStatusOk) return status;
        if (atEnd || Str_CompareN(line, "##", 2) == 0) return kStatusFormat;
        if (line[0] == '#' && NumberAfter(line) == topic) return kStatusOk;
    }
    return status;
}

int32_t RunHelpTopic(const HelpContext* help, int32_t topic, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (help == nullptr || help->path == nullptr || help->path[0] == 0) return kStatusOk;
    MemBlock<char> buffers(uint32_t(kReadSize + 2 * (kHelpLineSize + 1)));
    if (buffers.get() == nullptr) return Ui_Failure_Describe(failure, kStatusNoMemory, 0);
    HelpWindow h{};
    h.context = help;
    h.line = buffers.get();
    h.paragraph = h.line + kReadSize;
    h.piece = h.paragraph + kHelpLineSize + 1;
    h.topic = topic;
    FLSpec spec;
    FLSpecDisk(&spec, help->path);
    int32_t status = FLOpen(&h.file, &spec, kFLRead);
    if (status != kStatusOk)
        return Ui_Failure_Describe(failure, status, kPhraseOpenFile, 0, help->path);
    int32_t lineNumber = 0;
    status = HelpFindTopic(&h.file, topic, h.line, &lineNumber);
    if (status == kStatusOk) status = FLTell(&h.file, &h.topicPosition);
    if (status != kStatusOk) {
        FLClose(&h.file);
        if (status == kStatusFormat)
            return Ui_Failure_Describe(failure, status, kPhraseReadFile, 0, help->path);
        return Ui_Failure_Describe(failure, status, kPhraseReadFileLine, lineNumber, help->path);
    }
    h.check = help->showStartUpGuide != nullptr && *help->showStartUpGuide != 1 ? 1 : 0;
    int16_t item = 0;
    status = Ui_Dlg_Run(help->state, kDlgHelp, help->parent, Init, &h, &item);
    FLClose(&h.file);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, 0);
    if (help->showStartUpGuide != nullptr) *help->showStartUpGuide = h.check ? 0 : 1;
    return kStatusOk;
}

void ShowHelpTopic(const HelpContext* help, int32_t topic) {
    Ui_Failure failure;
    if (RunHelpTopic(help, topic, &failure) != kStatusOk && help != nullptr) {
        Ui_Failure_Show(help->state, &failure);
    }
}

int32_t HelpGuideAddress(UiState* state, int32_t topic, char* address, int32_t capacity) {
    int32_t id = kStrGuideStart;
    for (const GuidePage& page : kGuidePages) {
        if (page.topic == topic) id = page.addressId;
    }
    return AddressOf(state, id, address, capacity);
}

int32_t HelpFaqAddress(UiState* state, char* address, int32_t capacity) {
    return AddressOf(state, kStrGuideFaq, address, capacity);
}
