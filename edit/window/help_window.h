// The help window: one topic of the help text in a window that grows to fit it, and the start-up
// guide.
//
// The help text is a resource that the start phase copies into a temporary file while the
// editing window is open. Its topics start with a line "#number title" and the file ends with
// "##"; a topic is a sequence of paragraphs, each a line "?", its text lines and a line "*". A
// paragraph ")number" stands for the bitmap resource of that number. ShowHelpTopic finds the
// topic in the file, measures it for the text area's width (words wrapped by the window's own
// measuring, so the measured and the drawn layout agree on every binding), grows the window to
// fit and centres it, and draws the paragraphs from the file whenever the area is painted.
//
// The start-up guide is topic 2007 shown with one more item, "Don't Show Again", which edits the
// preference "Show Start Up Guide". "Online User Guide" opens the user guide page for the topic
// in the browser; the guide is installed beside the module (user-guide/), and the addresses in
// the string table name their pages relative to the module's folder ("%s").
#pragma once

#include <cstdint>

#include "edit/window/dialog_env.h"
#include "platform/file.h"
#include "platform/alert.h"

// Topic numbers of the help text.
enum : int32_t {
    kTopicOverview = 2000,
    kTopicColorBalance = 2001,  // the four tool tabs: 2001 + tab
    kTopicBlackWhite = 2002,
    kTopicBrightness = 2003,
    kTopicHueSelective = 2004,
    kTopicMemoryColor = 2005,
    kTopicPreferences = 2006,
    kTopicStartUpGuide = 2007,
    kTopicKeenhuePrefs = 2008,
    kTopicSharpenNoise = 2009,
    kTopicNeutralDef = 2010,  // the colour definitions: 2010 + kind
    kTopicGrayscaleDef = 2011,
    kTopicSepiaDef = 2012,
    kTopicToningDef = 2013,
};

constexpr int32_t kHelpLineSize = 1024;  // longest line and longest paragraph

// Shows the window for one topic and shows any failure itself (the error alert with "opening
// file %s", "reading line %d of file %s" or "reading file %s"); the window is then not shown and
// nothing changes. With a null or empty path nothing happens.
void ShowHelpTopic(const HelpContext* help, int32_t topic);

// The same, returning what went wrong instead of showing it (for callers that show it and tests).
int32_t RunHelpTopic(const HelpContext* help, int32_t topic, Ui_Failure* failure);

// Finds topic in the open help file and leaves the file after its title line. *lineNumber gets
// the number of the last line read or tried (1 first), which a read failure names. -8 when the file
// ends ("##" or its end) without the topic; a file-layer status when a line cannot be read.
int32_t HelpFindTopic(FLFile* file, int32_t topic, char* line, int32_t* lineNumber);

// The user guide's address for a topic: its page (one per tool tab, memory colours, preferences,
// Keenhue preferences, sharpen/noise, and one shared by the four colour definitions) or the start
// page, with the module's folder put in. -2 when the module's folder cannot be found.
int32_t HelpGuideAddress(UiState* state, int32_t topic, char* address, int32_t capacity);
// The frequently asked questions page.
int32_t HelpFaqAddress(UiState* state, char* address, int32_t capacity);
