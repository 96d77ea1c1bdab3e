// How events become proc calls: the order of the procs for each kind of event, the done flag,
// the idle proc, the first paint, the command filter, tracking on user items, failed creation,
// nested dialogs and the registry of open dialogs.
#include <string>

#include "platform/alert.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/system.h"
#include "platform/ui_state.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

enum : uint32_t {
    kIdle = 1,
    kHit = 2,
    kFirstPaint = 4,
    kDraw = 8,
    kKey = 16,
    kModifier = 32,
    kPreCursor = 64,
    kTrack = 128
};
uint32_t gProcs = 0;  // the procs Init installs
int32_t gInitResult = 0, gFirstPaintResult = 0;
int32_t gTrackBegin = 1, gTrackEnd = 1;
int32_t gIdleCloseAt = -1;  // the idle call that sets done
int32_t gIdleCloseResult = 1, gIdleCalls = 0;

int32_t Note(const std::string& entry, int32_t result = 0) {
    gTrace.push_back(entry);
    return result;
}
int32_t IdleRec(UiWindow* w) {
    if (++gIdleCalls != gIdleCloseAt) return Note("idle");
    Ui_Dlg_Close(w, 1);
    return Note("idle", gIdleCloseResult);
}
int32_t Hit(UiWindow* w, int16_t item) {
    if (item == 1 || item == 2) Ui_Dlg_Close(w, item);
    return Note("hit " + std::to_string(item));
}
int32_t FirstPaint(UiWindow*) {
    return Note("firstpaint", gFirstPaintResult);
}
int32_t Draw(UiWindow*, int16_t item) {
    return Note("draw " + std::to_string(item));
}
int32_t KeyProc(UiWindow*, uint8_t key, uint8_t ctrl) {
    return Note("key " + std::to_string(key) + " ctrl=" + std::to_string(ctrl));
}
int32_t Modifier(UiWindow*) {
    return Note("modifier", 1);
}
int32_t PreCursor(UiWindow*) {
    return Note("precursor");
}
int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    Ui_Dlg* d = Record(w);
    Note("track " + std::to_string(item) + " " + std::to_string(phase) + " (" +
         std::to_string(d->mouseV) + "," + std::to_string(d->mouseH) +
         ") down=" + std::to_string(d->mouseDown));
    return phase == kUiTrackBegin ? gTrackBegin : phase == kUiTrackEnd ? gTrackEnd : 0;
}

int32_t Init(UiWindow* w) {
    gTrace.push_back("init");
    if (gProcs & kIdle) Ui_Dlg_SetIdleProc(w, IdleRec);
    if (gProcs & kHit) Ui_Dlg_SetItemHitProc(w, Hit);
    if (gProcs & kFirstPaint) Ui_Dlg_SetFirstPaintProc(w, FirstPaint);
    if (gProcs & kDraw) {
        Ui_Dlg_SetDrawProc(w, 4, Draw);
        Ui_Dlg_SetDrawProc(w, 9, Draw);
    }
    if (gProcs & kKey) Ui_Dlg_SetKeyProc(w, KeyProc);
    if (gProcs & kModifier) Ui_Dlg_SetModifierProc(w, Modifier);
    if (gProcs & kPreCursor) Ui_Dlg_SetPreCursorProc(w, PreCursor);
    if (gProcs & kTrack) Ui_Dlg_SetTrackProc(w, Track);
    return gInitResult;
}

class DispatchTest : public UiTest {
   protected:
    void SetUp() override {
        UiTest::SetUp();
        gProcs = kHit;
        gInitResult = 0;
        gFirstPaintResult = 0;
        gTrackBegin = gTrackEnd = 1;
        gIdleCloseAt = -1;
        gIdleCloseResult = 1;
        gIdleCalls = 0;
    }
    // Runs the test dialog with Init and the script from a clean trace; returns the item.
    int16_t RunTest(std::vector<UiScriptEvent> script) {
        gTrace.clear();
        int16_t item = 0;
        EXPECT_EQ(Run(kTestDialog, Init, nullptr, std::move(script), &item), 0);
        return item;
    }
};

TEST_F(DispatchTest, OpeningPaintsThenRunsFirstPaintOnceWithIdleBeforeEveryMessage) {
    gProcs = kIdle | kHit | kFirstPaint | kDraw;
    EXPECT_EQ(RunTest({Click(3), Call([](UiWindow* w) { Ui_Item_Invalidate(w, 0); }), Click(1)}),
              1);
    // Paint and the children's colour request are messages too: the idle proc runs before each,
    // and the first paint proc runs at the message after the first paint, never again.
    EXPECT_EQ(Joined(gTrace),
              "init, idle, firstpaint, idle, draw 4, draw 9, idle, hit 3, "
              "idle, idle, draw 4, draw 9, idle, hit 1");
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

TEST_F(DispatchTest, TheDoneFlagEndsTheDialogAfterAnyProcAndDropsLaterEvents) {
    EXPECT_EQ(RunTest({Click(1), Click(3)}), 1);
    EXPECT_EQ(Joined(gTrace), "init, hit 1");
    EXPECT_EQ(Ui_Headless_Remaining(), 1);

    // A key proc may close the dialog with an item of its choosing.
    gProcs = kKey | kHit;
    static auto closeOnKey = [](UiWindow* w, uint8_t, uint8_t) -> int32_t {
        Ui_Dlg_Close(w, 7);
        return 0;
    };
    EXPECT_EQ(
        RunTest({Call([](UiWindow* w) { Ui_Dlg_SetKeyProc(w, closeOnKey); }), Key('X'), Click(3)}),
        7);
    EXPECT_EQ(Joined(gTrace), "init");
}

TEST_F(DispatchTest, IdleProcClosesTheDialogWithinOneTick) {
    gProcs = kIdle | kHit;
    gIdleCloseAt = 5;
    uint32_t opened = 0;
    EXPECT_EQ(RunTest({Call([&](UiWindow*) { opened = Ui_TickCount(); }), Idle(50)}), 1);
    EXPECT_EQ(gIdleCalls, 5);
    // Two idle calls ran for the opening paint and its colour request; the other three were
    // timer ticks, so the dialog closed at the third tick, 300 ms after the script started.
    EXPECT_EQ(Ui_TickCount() - opened, 300u);

    // Done set without returning 1 still closes: a dialog left open with done set would drop
    // every later event and could never close.
    gIdleCalls = 0;
    gIdleCloseResult = 0;
    gIdleCloseAt = 3;
    EXPECT_EQ(RunTest({Idle(50), Click(3)}), 1);
    EXPECT_EQ(gIdleCalls, 3);
}

TEST_F(DispatchTest, OnlyTheFourCommandNotificationsReachTheItemHitProc) {
    RunTest({Notify(5, 2), Notify(5, 0x100), Notify(5, 0x300), Notify(5, 0x200), Notify(6, 1),
             Click(3)});
    EXPECT_EQ(Joined(gTrace), "init, hit 5, hit 5, hit 6, hit 3");
}

TEST_F(DispatchTest, TrackedPressRunsThreePhasesAndAHandledReleaseIsNoItemHit) {
    gProcs = kHit | kTrack | kIdle;
    RunTest({Press(4, 60, 30), Drag(70, 40), Idle(3), Drag(80, 50), Release(85, 55)});
    std::vector<std::string> tracks;
    int idleDuringTrack = 0;
    bool tracking = false;
    for (const std::string& t : gTrace) {
        if (t.rfind("track", 0) == 0) {
            tracks.push_back(t);
            tracking = t.find(" 2 (") == std::string::npos;
        }
        idleDuringTrack += t == "idle" && tracking;
    }
    EXPECT_EQ(Joined(tracks),
              "track 4 0 (60,30) down=1, track 4 1 (70,40) down=1, track 4 1 (80,50) down=1, "
              "track 4 2 (85,55) down=0");
    EXPECT_EQ(idleDuringTrack, 0);  // no timer messages while the mouse is captured
    EXPECT_EQ(std::count(gTrace.begin(), gTrace.end(), "hit 4"), 0);
}

TEST_F(DispatchTest, PressesEndWithTheScriptAndUnhandledOnesBecomeItemHits) {
    gProcs = kHit | kTrack;
    // A press whose script ends is released where the mouse is.
    EXPECT_EQ(RunTest({Press(4, 60, 30), Drag(61, 31)}), 2);
    EXPECT_EQ(gTrace.back(), "track 4 2 (61,31) down=0");
    gTrackEnd = 0;
    RunTest({Press(9, 60, 240), Release(62, 250)});
    EXPECT_EQ(Joined(gTrace), "init, track 9 0 (60,240) down=1, track 9 2 (62,250) down=0, hit 9");

    // A track proc that declines the press at phase 0 gets no other phase; the press is an item
    // hit at once and the drags that follow are plain moves.
    gTrackBegin = 0;
    RunTest({Press(4, 60, 30), Drag(70, 40), Release(70, 40)});
    EXPECT_EQ(Joined(gTrace), "init, track 4 0 (60,30) down=1, hit 4");

    // Without a track proc a click on a user item is an item hit too.
    gProcs = kHit;
    RunTest({Click(9)});
    EXPECT_EQ(Joined(gTrace), "init, hit 9");
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

TEST_F(DispatchTest, FailedInitEndsWithCancelBeforeTheDialogIsSeen) {
    gProcs = kHit | kFirstPaint | kDraw | kIdle;
    gInitResult = -1;
    EXPECT_EQ(RunTest({Click(1)}), 2);
    EXPECT_EQ(Joined(gTrace), "init");
    EXPECT_EQ(Closed()->paints, 0u);
    EXPECT_EQ(Ui_Headless_Remaining(), 1);
    EXPECT_EQ(LogWith("init of dialog").size(), 1u);

    // A first-paint proc that fails closes the dialog the same way, before any user item paints.
    gInitResult = 0;
    gFirstPaintResult = 1;
    EXPECT_EQ(RunTest({Click(1)}), 2);
    EXPECT_EQ(Joined(gTrace), "init, idle, firstpaint");
}

TEST_F(DispatchTest, KeysGoToTheDialogOrToTheFocusedUserItem) {
    gProcs = kHit | kKey | kModifier;
    // To the dialog: the key proc sees the low 8 bits and the ctrl state; Return clicks the
    // default button, Escape Cancel.
    EXPECT_EQ(RunTest({Key(0x141, 0, 1), Key(kUiKeyReturn)}), 1);
    EXPECT_EQ(Joined(gTrace), "init, key 65 ctrl=1, hit 1");
    RunTest({Key(kUiKeyEscape)});
    EXPECT_EQ(Joined(gTrace), "init, hit 2");

    // To user item 4: the modifier proc follows the key proc only when Ctrl or Shift changed,
    // going down with Ctrl's press and up with its release; with Alt held the key is a system
    // key, followed by the modifier proc when Alt changed. A plain key does not look at Alt, so
    // letting Alt go before Escape calls no modifier proc. The script ran out: Escape went to the
    // user item, not to Cancel.
    EXPECT_EQ(RunTest({Key(kUiKeyCtrl, 4, 1), Key('A', 4), Key('B', 4), Key('F', 4, 0, 1),
                       Key(kUiKeyEscape, 4)}),
              2);
    EXPECT_EQ(Joined(gTrace),
              "init, key 17 ctrl=1, modifier, modifier, key 65 ctrl=0, key 66 ctrl=0, "
              "key 70 ctrl=0, modifier, key 27 ctrl=0");
}

TEST_F(DispatchTest, CursorRequestsCallPreCursorThenModifier) {
    gProcs = kHit | kModifier | kPreCursor | kIdle;
    RunTest({Call([](UiWindow*) { gTrace.clear(); }), Move(60, 240), Move(5, 5)});
    // Over user item 9 its control procedure answers; over the dialog the common steps run first.
    EXPECT_EQ(Joined(gTrace), "precursor, modifier, idle, precursor, modifier");
}

TEST_F(DispatchTest, NestedAlertTakesTheNextEventsAndHandsTheParentBack) {
    static UiWindow* outer = nullptr;
    static auto hit = [](UiWindow* w, int16_t item) -> int32_t {
        if (item == 3) {
            outer = w;
            int16_t answer = 0;
            Ui_Alert_Ask(Record(w)->state, "Continue?", "Yes", nullptr, 0, &answer);
            gTrace.push_back("answer " + std::to_string(answer));
        }
        if (item == 1) Ui_Dlg_Close(w, item);
        return 0;
    };
    static auto init = [](UiWindow* w) -> int32_t { return Ui_Dlg_SetItemHitProc(w, hit); };
    UiScriptEvent inAlert = For(6000, Call([&](UiWindow* alert) {
                                    EXPECT_EQ(Ui_Dlg_Id(alert), 6000);
                                    EXPECT_EQ(state_->parentWindow, alert);
                                    int open = 0;
                                    for (void* slot : state_->dialogs) open += slot != nullptr;
                                    EXPECT_EQ(open, 2);
                                    EXPECT_EQ(Ui_Item_SelectText(outer, 5, 0, 1),
                                              -9);  // the outer one cannot take the focus
                                    // Centred over the outer dialog, which is smaller: left and top
                                    // edges meet.
                                    Ui_Rect a, o;
                                    ASSERT_EQ(Ui_Dlg_Bounds_Get(alert, &a), 0);
                                    ASSERT_EQ(Ui_Dlg_Bounds_Get(outer, &o), 0);
                                    EXPECT_GT(a.right - a.left, o.right - o.left);
                                    EXPECT_GT(a.bottom - a.top, o.bottom - o.top);
                                    EXPECT_EQ(a.left, o.left);
                                    EXPECT_EQ(a.top, o.top);
                                }));
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, init, nullptr,
                  {Click(3), inAlert, For(6000, Click(2)),
                   Call([&](UiWindow* w) { EXPECT_EQ(state_->parentWindow, w); }), Click(1)},
                  &item),
              0);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(Joined(gTrace), "answer 2");
    EXPECT_EQ(state_->parentWindow, nullptr);
    for (void* slot : state_->dialogs) EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

TEST_F(DispatchTest, AnEventForAnotherDialogOrAFullRegistryEndsWithCancel) {
    EXPECT_EQ(RunTest({For(6000, Click(1))}), 2);
    EXPECT_EQ(Ui_Headless_Remaining(), 1);

    static int dummy[kUiStateDialogSlots];
    for (int i = 0; i < kUiStateDialogSlots; ++i) state_->dialogs[i] = &dummy[i];
    int16_t item = RunTest({Click(1)});
    for (void*& slot : state_->dialogs) slot = nullptr;
    EXPECT_EQ(item, 2);
    EXPECT_TRUE(gTrace.empty());  // the init proc never ran
}

TEST_F(DispatchTest, WithoutAScriptOrDisplayDialogsAreRefusedAndQuestionsTakeTheFirstButton) {
    Ui_Headless_SetScript(nullptr, 0);
    int16_t item = 0;
    EXPECT_EQ(Ui_Dlg_Run(state_, kTestDialog, nullptr, Init, nullptr, &item), -9);
    EXPECT_EQ(Joined(LogWith("Ui_Dlg_Run")), "Ui_Dlg_Run: no display to show dialog 9000");
    testing::internal::CaptureStderr();
    int16_t answer = 0;
    EXPECT_EQ(Ui_Alert_Ask(state_, "Replace the file?", "Replace", nullptr, 0, &answer), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, 1);
    EXPECT_NE(err.find("Replace the file?"), std::string::npos);
    EXPECT_NE(err.find("answered \"Replace\""), std::string::npos);
}

TEST_F(DispatchTest, UserItemsNeedTheClassThatAnOpenStateRegisters) {
    Ui_State_Close(&state_);
    Ui_Framework_Uninstall();  // no hooks: the next state registers nothing
    UiState* bare = nullptr;
    ASSERT_EQ(Ui_State_Open(&bare, Res_ModuleArchive(), nullptr, 1000, 1), 0);
    SetScript({});
    int16_t item = 0;
    EXPECT_EQ(Ui_Dlg_Run(bare, 6000, nullptr, nullptr, nullptr, &item), -2);
    EXPECT_EQ(LogWith("class is not registered").size(), 1u);
    Ui_State_Close(&bare);

    Ui_Framework_Install(nullptr);
    ASSERT_EQ(Ui_State_Open(&bare, Res_ModuleArchive(), nullptr, 1000, 1), 0);
    EXPECT_EQ(Ui_Dlg_Run(bare, 6000, nullptr, nullptr, nullptr, &item), 0);
    EXPECT_EQ(item, 2);
    Ui_State_Close(&bare);
}

TEST_F(DispatchTest, SettersRefuseWindowsThatAreNotPluginDialogs) {
    UiWindow fake{};
    int32_t other = 5;
    fake.userData = &other;
    Ui_Dlg_Info* info = nullptr;
    EXPECT_EQ(Ui_Dlg_Info_Get(nullptr, &info), -1);
    EXPECT_EQ(Ui_Dlg_Info_Get(&fake, &info), -2);
    EXPECT_EQ(Ui_Dlg_SetIdleProc(&fake, IdleRec), -2);
    EXPECT_EQ(Ui_Dlg_SetTrackProc(&fake, Track), -2);
    EXPECT_EQ(Ui_Dlg_SetDrawProc(&fake, 1, Draw), -2);
    EXPECT_EQ(Ui_Item_SetCheck(&fake, 3, 1), -2);
    EXPECT_EQ(Ui_Item_SetCheck(nullptr, 3, 1), -1);
    RunTest({Call([](UiWindow* w) {
        EXPECT_EQ(Ui_Dlg_SetDrawProc(w, 0, Draw), -1);
        EXPECT_EQ(Ui_Dlg_SetDrawProc(w, 10, Draw), -1);
        EXPECT_EQ(Ui_Dlg_SetDrawProc(w, 9, Draw), 0);
        Ui_Dlg_Info* i = nullptr;
        ASSERT_EQ(Ui_Dlg_Info_Get(w, &i), 0);
        EXPECT_EQ(i->trackSlots[8].value, -1);
        EXPECT_EQ(Record(w)->itemCount, 9);
    })});
}

}  // namespace

namespace {

TEST_F(DispatchTest, ModifierKeysTravelWithEveryEventOfADrag) {
    gProcs = kHit | kTrack | kModifier;
    static auto track = [](UiWindow* w, int16_t, int16_t phase) -> int32_t {
        Ui_Dlg* d = Record(w);
        Note("track " + std::to_string(phase) + (d->shift ? " S" : "") + (d->alt ? " A" : ""));
        return 1;
    };
    // Shift held at the press; Alt taken during the drag without a move; Shift let go; released
    // with Alt only. Outside the drag each modifier key going down or up calls the modifier proc.
    RunTest({Call([](UiWindow* w) { Ui_Dlg_SetTrackProc(w, track); }),
             Holding(KeyDown(kUiKeyShift), 0, 0, 1), Holding(Press(4, 60, 30), 0, 0, 1),
             Holding(Drag(62, 32), 0, 0, 1), Holding(KeyDown(kUiKeyAlt), 0, 1, 1),
             Holding(KeyUp(kUiKeyShift), 0, 1, 1), Holding(Release(62, 32), 0, 1, 0),
             Holding(KeyUp(kUiKeyAlt), 0, 1, 0), Click(1)});
    EXPECT_EQ(Joined(gTrace),
              "init, modifier, track 0 S, track 1 S, track 1 S A, track 1 A, track 2 A, modifier, "
              "hit 1");
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

}  // namespace
