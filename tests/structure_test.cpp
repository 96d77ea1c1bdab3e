// The rules of the source tree that neither the compiler nor the libraries' include paths can
// state: which folder may include which, that no two files of a layer (platform/, engine/,
// imagelib/, edit/ with the window, host/) depend on each other in a circle,
// that the parts below the outermost layer never show an alert, and that no string, phrase,
// dialog or item is named by its number. Each rule reads the sources as text; a breach names the
// file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Line {
    std::string file;  // relative to the source folder
    int number;
    std::string text;
};

bool IsSource(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".cpp" || ext == ".h";
}

// The code lines of every source file under folder, without // comments.
std::vector<Line> CodeLines(const std::string& folder) {
    std::vector<Line> lines;
    const fs::path root(KOLMARA_SOURCE_DIR);
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
        if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
        std::ifstream in(entry.path());
        std::string text;
        int number = 0;
        const std::string name = fs::relative(entry.path(), root).string();
        while (std::getline(in, text)) {
            ++number;
            const size_t comment = text.find("//");
            if (comment != std::string::npos && text.find('"') > comment) text.resize(comment);
            lines.push_back({name, number, text});
        }
    }
    return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Where(const Line& line) {
    return line.file + ":" + std::to_string(line.number) + ": " + line.text;
}

// The folders of the module and what each may include: its own headers and those of the layers
// below it. Listed most specific first.
struct Layer {
    std::string folder;
    std::vector<std::string> allowed;
    std::vector<std::string> refused;  // inside an allowed prefix
};
const std::vector<Layer> kLayers = {
    {"platform/ui", {"platform/", "resources/ids/"}, {}},
    {"platform", {"platform/", "resources/ids/"}, {"platform/ui/"}},
    {"engine", {"engine/", "platform/"}, {"platform/ui/"}},
    {"imagelib", {"imagelib/", "platform/"}, {"platform/ui/"}},
    {"edit/export", {"edit/export/", "engine/", "platform/", "resources/ids/"}, {"platform/ui/"}},
    {"edit", {"edit/", "engine/", "imagelib/", "platform/", "resources/ids/"}, {}},
    {"hostsdk", {"hostsdk/"}, {}},
    {"host",
     {"host/", "hostsdk/", "edit/", "engine/", "imagelib/", "platform/", "resources/ids/"},
     {}},
};

const Layer& LayerOf(const std::string& file) {
    for (const Layer& layer : kLayers) {
        if (StartsWith(file, layer.folder + "/")) return layer;
    }
    static const Layer none{"", {}, {}};
    return none;
}

TEST(Structure, EachLayerIncludesOnlyItselfAndTheLayersBelow) {
    const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    int checked = 0;
    for (const char* folder : {"platform", "engine", "imagelib", "edit", "hostsdk", "host"}) {
        for (const Line& line : CodeLines(folder)) {
            std::smatch m;
            if (!std::regex_search(line.text, m, include)) continue;
            const std::string target = m[1];
            const Layer& layer = LayerOf(line.file);
            bool ok = target.find("..") == std::string::npos;
            bool any = false;
            for (const std::string& a : layer.allowed) any = any || StartsWith(target, a);
            for (const std::string& r : layer.refused) ok = ok && !StartsWith(target, r);
            EXPECT_TRUE(ok && any) << "upward or relative include: " << Where(line);
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);  // the walk found the tree
}

// A module is a header and its source file (platform/mem for mem.h and mem.cpp). Module a
// depends on module b when either file of a includes b's header.
std::map<std::string, std::set<std::string>> ModuleDependencies(
    const std::vector<std::string>& folders) {
    const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\.h\")");
    std::map<std::string, std::set<std::string>> graph;
    for (const std::string& folder : folders) {
        for (const Line& line : CodeLines(folder)) {
            const std::string module = line.file.substr(0, line.file.rfind('.'));
            std::set<std::string>& uses = graph[module];
            std::smatch m;
            if (!std::regex_search(line.text, m, include)) continue;
            const std::string target = m[1];
            bool inside = false;
            for (const std::string& f : folders) inside = inside || StartsWith(target, f + "/");
            if (inside && target != module) uses.insert(target);
        }
    }
    return graph;
}

// The groups of modules that reach each other (strongly connected, more than one module), each
// sorted and joined by spaces.
std::set<std::string> Circles(const std::map<std::string, std::set<std::string>>& graph) {
    std::map<std::string, int> index, low;
    std::vector<std::string> stack;
    std::set<std::string> onStack, circles;
    int next = 0;
    std::function<void(const std::string&)> visit = [&](const std::string& v) {
        index[v] = low[v] = next++;
        stack.push_back(v);
        onStack.insert(v);
        const auto uses = graph.find(v);
        if (uses != graph.end()) {
            for (const std::string& w : uses->second) {
                if (!index.count(w)) {
                    visit(w);
                    low[v] = std::min(low[v], low[w]);
                } else if (onStack.count(w)) {
                    low[v] = std::min(low[v], index[w]);
                }
            }
        }
        if (low[v] != index[v]) return;
        std::vector<std::string> group;
        std::string w;
        do {
            w = stack.back();
            stack.pop_back();
            onStack.erase(w);
            group.push_back(w);
        } while (w != v);
        if (group.size() < 2) return;
        std::sort(group.begin(), group.end());
        std::string joined;
        for (const std::string& g : group) joined += (joined.empty() ? "" : " ") + g;
        circles.insert(joined);
    };
    for (const auto& [module, uses] : graph) {
        if (!index.count(module)) visit(module);
    }
    return circles;
}

TEST(Structure, NoCircleBetweenFilesOfAnyLayer) {
    const auto graph = ModuleDependencies({"platform", "engine", "imagelib", "edit", "host"});
    ASSERT_GT(graph.size(), 50u);  // the walk found the tree
    for (const std::string& circle : Circles(graph)) {
        ADD_FAILURE() << "files that depend on each other: " << circle;
    }
}

// The host layer's routines are handed the call's record (host/call_state.h) as a parameter; a
// variable one file declares extern for another would be state shared behind their backs.
TEST(Structure, NoHostFileReachesAVariableOfAnother) {
    const std::regex externVariable(R"(^\s*extern\s+(?!"C"))");
    int checked = 0;
    for (const Line& line : CodeLines("host")) {
        EXPECT_FALSE(std::regex_search(line.text, externVariable))
            << "a variable shared between files: " << Where(line);
        ++checked;
    }
    EXPECT_GT(checked, 1000);  // the walk found the tree
}

// The test's own circle finder, on a graph whose answer is known.
TEST(Structure, TheCircleFinderFindsEachCircleOnce) {
    const std::map<std::string, std::set<std::string>> graph = {
        {"a", {"b"}}, {"b", {"c"}}, {"c", {"a", "d"}}, {"d", {"e"}}, {"e", {"d"}}, {"f", {"a"}},
    };
    EXPECT_EQ(Circles(graph), (std::set<std::string>{"a b c", "d e"}));
}

TEST(Structure, OnlyTheOutermostLayerShowsAlerts) {
    // The alert and dialog machinery itself (a save chooser asks before it replaces a file, as
    // the chooser of a window system does); the windows' handlers join this list.
    const std::vector<std::string> machinery = {"platform/alert.h",
                                                "platform/alert.cpp",
                                                "platform/ui/alert_box.cpp",
                                                "platform/ui/choosers.cpp",
                                                "edit/window/help_window.cpp",
                                                "edit/window/prefs_dialog.cpp",
                                                "edit/window/define_color_dialog.cpp",
                                                "edit/window/memory_color_dialog.cpp",
                                                "edit/window/window_record.cpp",
                                                "edit/window/sharpen_noise_dialog.cpp"};
    const std::regex shows(
        R"(\b(ShowErrorAlert|Ui_Failure_Show|Ui_Alert_(DoVantorError|Message|Stop|Note|Caution|Ask))\s*\()");
    for (const char* folder : {"platform", "engine", "imagelib", "edit"}) {
        for (const Line& line : CodeLines(folder)) {
            bool allowed = false;
            for (const std::string& m : machinery) allowed = allowed || line.file == m;
            if (allowed) continue;
            EXPECT_FALSE(std::regex_search(line.text, shows)) << "shows an alert: " << Where(line);
        }
    }
}

TEST(Structure, EveryClampIsTheSharedOne) {
    // A clamp of a file's own lets a NaN through or not depending on how it was written; the
    // module has one set (platform/numeric.h). A function whose name says it clamps, defined
    // anywhere else, is one of its own.
    const std::regex defines(
        R"(^\s*(static\s+|inline\s+|constexpr\s+)*(?!return\b)[\w:<>]+\s+\w*Clamp\w*\s*\([^;]*$)");
    for (const char* folder : {"platform", "engine", "imagelib", "edit", "host"}) {
        for (const Line& line : CodeLines(folder)) {
            if (line.file == "platform/numeric.h") continue;
            EXPECT_FALSE(std::regex_search(line.text, defines))
                << "a clamp of its own: " << Where(line);
        }
    }
}

TEST(Structure, StringsDialogsAndItemsAreNamedNeverNumbered) {
    // A local constant for a string, phrase, hint, message, dialog or item (not a size or a
    // limit of one)...
    const std::regex localId(
        R"(constexpr[^=;]*\b(k(Str|String|Phrase|Hint|Msg|Dlg|Dialog|Item|Res)[A-Z]\w*)\s*=\s*[0-9])");
    const std::regex sizeName(R"((Size|Max|Length)$)");
    // ...or a number where an operation takes such an id.
    const std::vector<std::regex> numberArgument = {
        std::regex(R"(\bUi_ResToCString\s*\([^,()]*,\s*[0-9])"),
        std::regex(R"(\bUi_ResToFile\s*\([^,()]*,[^,()]*,\s*[0-9])"),
        std::regex(R"(\bUi_(Dlg_Run|Template_Load)\s*\([^,()]*,\s*[0-9])"),
        std::regex(R"(\bUi_(Item_\w+|Dlg_SetDrawProc|Template_Item)\s*\([^,()]*,\s*[0-9])"),
        std::regex(R"(\bUi_Failure_Describe(Text)?\s*\([^,()]*,[^,()]*,\s*[1-9])"),
    };
    for (const char* folder : {"platform", "engine", "imagelib", "edit", "host"}) {
        for (const Line& line : CodeLines(folder)) {
            std::smatch m;
            const bool id = std::regex_search(line.text, m, localId) &&
                            !std::regex_search(m[1].str(), sizeName);
            EXPECT_FALSE(id) << "id as a number: " << Where(line);
            for (const std::regex& r : numberArgument) {
                EXPECT_FALSE(std::regex_search(line.text, r)) << "id as a number: " << Where(line);
            }
        }
    }
}

TEST(Structure, FormatsUseOnlyTheConversionsOfThePluginsFormatter) {
    // The compiler checks formatting calls as printf's; printf knows conversions the plug-in's
    // formatter does not (platform/format.h), which would print the letter and take no value.
    const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
    const std::regex conversion(R"(%(%|c|s|f|[0-9]*(d|ld|x|X)))");
    int formats = 0;
    for (const char* folder : {"platform", "engine", "imagelib", "edit", "host"}) {
        for (const Line& line : CodeLines(folder)) {
            if (line.text.find('%') == std::string::npos) continue;
            for (auto it = std::sregex_iterator(line.text.begin(), line.text.end(), literal);
                 it != std::sregex_iterator(); ++it) {
                std::string text = (*it)[1];
                if (text.find('%') == std::string::npos) continue;
                ++formats;
                const std::string rest = std::regex_replace(text, conversion, "");
                EXPECT_EQ(rest.find('%'), std::string::npos) << "conversion: " << Where(line);
            }
        }
    }
    EXPECT_GT(formats, 100);
}

}  // namespace
