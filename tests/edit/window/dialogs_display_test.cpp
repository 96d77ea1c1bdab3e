// The dialogs of the editing window on real windows: each is opened through the FLTK binding
// under a virtual X server, read back from the screen and written as a PNG file for people to
// look at (clipped labels, overlaps, unreadable text), and checked for the little a program can
// judge: the window is not blank and every visible item lies inside it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "edit/prefs.h"
#include "edit/window/define_color_dialog.h"
#include "edit/window/help_window.h"
#include "edit/window/keenhue_prefs_dialog.h"
#include "edit/window/memory_color_dialog.h"
#include "edit/window/prefs_dialog.h"
#include "edit/window/sharpen_noise_dialog.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui_state.h"
#include "resources/ids/resources.h"
#include "resources/ids/strings.h"
#include "tests/platform/test_support.h"

#ifndef KOLMARA_SHOTS_OUT
#define KOLMARA_SHOTS_OUT "."
#endif

namespace {

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        FAIL() << "libpng failed on " << path;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<uint8_t*>(rgb.data() + size_t(y) * size_t(width) * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// Grabs the innermost open dialog a moment after it is shown, then closes it with item 2.
struct Shot {
    UiState* state;
    std::string name;
    bool taken = false;
    int width = 0, height = 0, distinct = 0, outside = 0;

    static void Fire(void* data) {
        auto* s = static_cast<Shot*>(data);
        auto* w = static_cast<UiWindow*>(s->state->parentWindow);
        Ui_Dlg* d = nullptr;
        if (Ui_Dlg_Get(w, &d) != 0) return;
        int32_t width = 0, height = 0;
        Ui_Fltk_ReadPixels(w, nullptr, 0, &width, &height);
        std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
        if (Ui_Fltk_ReadPixels(w, rgb.data(), int32_t(rgb.size()), &width, &height) == 0) {
            mkdir(KOLMARA_SHOTS_OUT, 0755);
            WritePng(std::string(KOLMARA_SHOTS_OUT) + "/" + s->name, rgb, width, height);
            s->taken = true;
            s->width = width;
            s->height = height;
            std::vector<bool> seen(1 << 15);
            for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
                const int key = (rgb[i] >> 3) << 10 | (rgb[i + 1] >> 3) << 5 | rgb[i + 2] >> 3;
                if (!seen[size_t(key)]) ++s->distinct;
                seen[size_t(key)] = true;
            }
            for (int16_t item = 1; item <= d->itemCount; ++item) {
                Ui_Rect r{};
                if (Ui_Item_GetRect(w, item, &r) != 0) continue;
                const bool hidden = r.right - r.left <= 0;
                if (!hidden && (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height)) {
                    ++s->outside;
                }
            }
        }
        d->itemHit = 2;
        Ui_Dlg_End(w);
    }
};

class DialogShots : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_EQ(Ui_Fltk_Install(), 0) << "no X display: run under xvfb-run";
        ASSERT_EQ(Ui_State_Open(&state_, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        helpPath_ = root_ + "/help.tmp";
        FLSpec spec;
        FLSpecDisk(&spec, helpPath_.c_str());
        ASSERT_EQ(Ui_ResToFile(state_, kResTypeHelp, kResHelp, &spec), 0);
        help_ = HelpContext{state_, helpPath_.c_str(), &guide_, nullptr};
        env_ = DialogEnv{state_, nullptr, &host_, &help_};
        es_ = std::make_unique<EditState>();
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
    }
    void TearDown() override {
        Ui_State_Close(&state_);
        Ui_Framework_Uninstall();
        PlatformTest::TearDown();
    }
    // Runs open with a shot taken of the dialog it shows.
    void Take(const char* name, const std::function<void()>& open) {
        Shot shot{state_, name};
        Fl::add_timeout(0.6, Shot::Fire, &shot);
        open();
        Fl::remove_timeout(Shot::Fire, &shot);
        ASSERT_TRUE(shot.taken) << name;
        EXPECT_GT(shot.width, 200) << name;
        EXPECT_GT(shot.distinct, 8) << name;  // text and controls, not a blank window
        EXPECT_EQ(shot.outside, 0) << name;
    }
    UiState* state_ = nullptr;
    std::string helpPath_;
    uint8_t guide_ = 1;
    HelpContext help_{};
    // A host whose colour picker answers at once, and no other service.
    static WindowHostProcs PickerOnly() {
        WindowHostProcs procs{};
        procs.pickColor = [](void*, float*) -> int32_t { return 0; };
        return procs;
    }
    WindowHostProcs host_ = PickerOnly();
    DialogEnv env_{};
    std::unique_ptr<EditState> es_;
};

TEST_F(DialogShots, EveryDialogOnARealWindow) {
    auto prefs = std::make_unique<Prefs>();
    ASSERT_EQ(SetPrefsDefaults(prefs.get()), 0);
    bool accepted = false;
    Take("preferences_1005.png", [&] { PreferencesDialog(&env_, prefs.get(), &accepted); });
    Take("keenhue_prefs_1006.png", [&] {
        KeenhuePrefsDialog(&env_, &prefs->keenhueMask, &prefs->preferredSaturation,
                           &prefs->memoryColorMask, &accepted);
    });
    Take("define_color_sepia_1009.png",
         [&] { DefineColorDialog(&env_, es_.get(), kColorDefSepia, nullptr, &accepted); });
    const float cool[3] = {0.45f, 0.5f, 0.62f};
    SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefNeutral, cool);
    Take("define_color_neutral_1009.png",
         [&] { DefineColorDialog(&env_, es_.get(), kColorDefNeutral, nullptr, &accepted); });
    MemoryColor skin;
    MemoryColorSetDefault(0, &skin);
    Take("memory_color_skin_1004.png",
         [&] { MemoryColorDialog(&env_, es_.get(), &skin, &accepted); });
    MemoryColor empty;
    MemoryColorSetDefault(4, &empty);
    Take("memory_color_empty_1004.png",
         [&] { MemoryColorDialog(&env_, es_.get(), &empty, &accepted); });
    es_->editPars.sharpenNoise.sharpenOn = 1;
    es_->editPars.sharpenNoise.noiseOn = 1;
    Take("sharpen_noise_1008.png", [&] { SharpenNoiseDialog(&env_, es_.get(), &accepted); });
    Ui_Failure failure;
    Take("help_startup_guide_1002.png",
         [&] { EXPECT_EQ(RunHelpTopic(&help_, kTopicStartUpGuide, &failure), 0); });
    Take("help_hue_selective_1002.png",
         [&] { EXPECT_EQ(RunHelpTopic(&help_, kTopicHueSelective, &failure), 0); });
    Take("help_memory_color_1002.png",
         [&] { EXPECT_EQ(RunHelpTopic(&help_, kTopicMemoryColor, &failure), 0); });
}

// The save chooser of "Create Huegrid...": the file types with the .cube LUT's node counts, read
// from the screen a moment after it opens and written as a PNG; then it is closed on the name it
// suggested, which keeps the type it started on.
TEST_F(DialogShots, TheTypedSaveChooserOnARealWindow) {
    struct Grab {
        std::string name;
        bool taken = false;
        int width = 0, height = 0;
        static void Fire(void* data) {
            auto* g = static_cast<Grab*>(data);
            Fl_Window* chooser = Fl::first_window();
            if (chooser == nullptr) return;
            chooser->make_current();
            g->width = chooser->w();
            g->height = chooser->h();
            uchar* rgb = fl_read_image(nullptr, 0, 0, g->width, g->height);
            if (rgb != nullptr) {
                mkdir(KOLMARA_SHOTS_OUT, 0755);
                WritePng(std::string(KOLMARA_SHOTS_OUT) + "/" + g->name,
                         std::vector<uint8_t>(rgb, rgb + size_t(g->width) * size_t(g->height) * 3),
                         g->width, g->height);
                delete[] rgb;
                g->taken = true;
            }
            chooser->hide();
        }
    };
    const int32_t extensions[3] = {kStrExtHuegrid, kStrExtCube, kStrExtCube};
    const char* const expected[3] = {"/beachHuegrid.hg", "", "/beachHuegrid.cube"};
    for (int32_t start : {0, 2}) {
        char path[kPathSize];
        Str_CopyBounded(path, sizeof path, (root_ + "/beachHuegrid").c_str());
        int32_t type = start;
        Grab grab{"save_chooser_huegrid_" + std::to_string(start) + ".png"};
        Fl::add_timeout(0.8, Grab::Fire, &grab);
        const int32_t status =
            Ui_Choose_SaveType(state_, "Create Huegrid", nullptr, root_.c_str(),
                               kStrFilterHuegridTypes, extensions, 3, &type, path);
        Fl::remove_timeout(Grab::Fire, &grab);
        ASSERT_TRUE(grab.taken) << start;
        EXPECT_GT(grab.width, 300);
        // Closed on the suggested name: the type it started on, with that type's extension.
        EXPECT_EQ(status, 0);
        EXPECT_EQ(type, start);
        EXPECT_EQ(std::string(path), root_ + expected[start]);
    }
}

}  // namespace
