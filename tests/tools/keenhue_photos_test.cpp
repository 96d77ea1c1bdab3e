// The automatic correction (every tool started with Keenhue, every group set) on four photographs,
// one of each kind that makes an automatic colour balance fail, through filterhost with the real
// module: for each of the four casts a camera makes, the correction of the cast copy must end
// close to the correction of the original (the cast invariance), and the correction of the
// original must not move it far (the harm). Both in mean CIEDE2000 over every pixel.
//
// The limits are the measured figures with room for a change of compiler or library, not goals:
// the goals, and the figures over all the evaluation's photographs, are bench/keenhue_eval's
// (docs/keenhue.md). What the test catches is a correction that has become unstable (a cast
// copy balanced on another surface than the original) or heavy-handed.
#include <sys/wait.h>

#include <cstdlib>

#include "tests/tools/host_test_support.h"
#include "tools/demo/colour_cast.h"
#include "tools/demo/image_metrics.h"

namespace {

struct Kind {
    const char* file;  // under the repository
    const char* what;
    double castLimit;  // the largest invariance allowed for any cast, dE00
    double harmLimit;  // the largest harm allowed, dE00
};

// clang-format off
const Kind kKinds[] = {
    {"bench/photos/stuff.jpg", "neutral-rich: objects on a grey desk", 4.0, 8.0},
    {"bench/photos/board.jpg", "no neutral: a green circuit board", 6.0, 4.0},
    {"bench/photos/smarties.png", "clipped background: sweets on white", 4.0, 4.0},
    {"examples/rocket.jpg", "low light: a launch at dusk", 14.0, 12.0},
};
// clang-format on

const char* const kCasts[] = {"warm", "green", "magenta", "cool"};

class KeenhuePhotos : public fhtest::TempDirTest {
   protected:
    void SetPrefs(const std::string& args) {
        std::string command = std::string("'") + KOLMARA_PREFS_PATH + "' " + args + " >/dev/null";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }
    Image Correct(const Image& in) {
        fhtest::SaveImage(Path("in.png"), in);
        auto r = fhtest::RunHost(
            {"--plugin", KOLMARA_MODULE_PATH, "--no-progress", Path("in.png"), Path("out.png")});
        EXPECT_EQ(r.status, 0) << r.err;
        // The analysis stays within the memory the module asked its host for.
        EXPECT_EQ(r.err.find("Over max"), std::string::npos) << r.err;
        return fhtest::LoadImage(Path("out.png"));
    }
    static double Difference(const Image& a, const Image& b) {
        double mean = -1;
        std::string error;
        EXPECT_TRUE(MeanCiede2000(a, b, {}, &mean, &error)) << error;
        return mean;
    }
};

TEST_F(KeenhuePhotos, CastCopiesEndNearTheOriginalsCorrectionAndTheOriginalIsLeftNearlyAlone) {
    ASSERT_NO_FATAL_FAILURE(SetPrefs("start keenhue"));
    ASSERT_NO_FATAL_FAILURE(SetPrefs("keenhue-sets all"));
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(std::string(kind.file) + " (" + kind.what + ")");
        const Image original = fhtest::LoadImage(std::string(SOURCE_DIR) + "/" + kind.file);
        const Image reference = Correct(original);
        const double harm = Difference(original, reference);
        EXPECT_LE(harm, kind.harmLimit);
        for (const char* name : kCasts) {
            SCOPED_TRACE(name);
            Image cast = original;
            std::string error;
            ASSERT_TRUE(ApplyColourCast(FindNamedCast(name)->cast, &cast, &error)) << error;
            const double before = Difference(cast, original);
            const double after = Difference(Correct(cast), reference);
            EXPECT_LE(after, kind.castLimit) << "the cast itself: " << before;
        }
    }
}

}  // namespace
