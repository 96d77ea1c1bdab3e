// The about box: dialog 6002 (kDlgAbout), also shown as a start-up splash that closes by itself.
//
// The upper user item (3) draws a bitmap centred; the lower one (4) draws centred lines: the
// version, the four lines of the legal notice (kStrLegal1 .. kStrLegal4) and the caller's notice
// lines, 14 pixels apart (16 when there are one or two notice lines). Without notice lines only
// the version is drawn, followed by the caller's extra draw proc when there is one. A click on
// items 1 .. 4 closes the box; with an auto-close delay of 0 or more seconds it also closes with
// item 1 once more whole seconds than the delay have passed since it opened.
#pragma once

#include <cstdint>

#include "platform/ui/dlg.h"

struct UiState;

struct Ui_AboutRecord {
    int32_t appNameId;         // string of the application name (kStrAppName)
    const char* version;       // version text (kStrVersion)
    int32_t bitmapId;          // bitmap of the upper area (kResAboutPicture)
    int32_t noticeId;          // first notice string (kStrAboutNotice1)
    int32_t noticeLines;       // number of notice strings (3)
    int32_t autoCloseSeconds;  // 3 as a splash, -1: never
    UiDrawProc extraDraw;      // drawn below the version when there are no notice lines; or null
};

int32_t Ui_About_Run(UiState* state, const Ui_AboutRecord* about, int16_t* item);
