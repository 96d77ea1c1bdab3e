// guidegen: builds the user guide's HTML pages from their sources and the help text.
//
//   guidegen HELP_TXT SOURCE_FOLDER OUTPUT_FOLDER
//
// Every SOURCE_FOLDER/*.html.in is a page body. A line "<!-- help N -->" in it is replaced by the
// paragraphs of help topic N, so the window's help and the guide say the same thing from one
// source; a paragraph ")N" becomes the picture images/bitmap-N.bmp. Each body is put into
// template.html (its "{{title}}" the text of the body's first <h1>, "{{body}}" the body), and the
// page and everything under SOURCE_FOLDER/images/ are written to OUTPUT_FOLDER. The build fails
// when a page names a topic the help text lacks or a help topic appears on no page, so the two
// cannot drift apart.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// Topic number -> its paragraphs, as the help window reads them.
std::map<int, std::vector<std::string>> ReadTopics(const std::string& text) {
    std::map<int, std::vector<std::string>> topics;
    std::istringstream in(text);
    std::string line;
    int topic = -1;
    std::string paragraph;
    bool inParagraph = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "##") break;
        if (!line.empty() && line[0] == '#') {
            topic = std::stoi(line.substr(1));
            topics[topic];
            inParagraph = false;
        } else if (line == "?") {
            inParagraph = true;
            paragraph.clear();
        } else if (!line.empty() && line[0] == '*') {
            if (inParagraph && topic >= 0) topics[topic].push_back(paragraph);
            inParagraph = false;
        } else if (inParagraph) {
            paragraph += (paragraph.empty() ? "" : " ") + line;
        }
    }
    return topics;
}

std::string Render(const std::vector<std::string>& paragraphs) {
    std::string out;
    for (const std::string& p : paragraphs) {
        if (p.size() > 1 && p[0] == ')' && std::isdigit(static_cast<unsigned char>(p[1]))) {
            out += "<p><img src=\"images/bitmap-" + p.substr(1) + ".bmp\" alt=\"\"></p>\n";
        } else {
            out += "<p>" + Escape(p) + "</p>\n";
        }
    }
    return out;
}

std::string Between(const std::string& s, const std::string& open, const std::string& close) {
    size_t a = s.find(open);
    if (a == std::string::npos) return "";
    a = s.find('>', a) + 1;
    size_t b = s.find(close, a);
    return b == std::string::npos ? "" : s.substr(a, b - a);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: guidegen HELP_TXT SOURCE_FOLDER OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        const auto topics = ReadTopics(Read(argv[1]));
        const fs::path source(argv[2]), output(argv[3]);
        const std::string page = Read(source / "template.html");
        fs::create_directories(output / "images");
        std::set<int> used;
        for (const auto& entry : fs::directory_iterator(source)) {
            const std::string name = entry.path().filename().string();
            if (name.size() < 8 || name.compare(name.size() - 8, 8, ".html.in") != 0) continue;
            std::istringstream in(Read(entry.path()));
            std::string line, body;
            while (std::getline(in, line)) {
                int topic = 0;
                if (std::sscanf(line.c_str(), " <!-- help %d -->", &topic) == 1) {
                    auto it = topics.find(topic);
                    if (it == topics.end()) {
                        std::cerr << name << ": help topic " << topic << " does not exist\n";
                        return 1;
                    }
                    used.insert(topic);
                    body += Render(it->second);
                } else {
                    body += line + "\n";
                }
            }
            std::string html = page;
            const std::string title = Between(body, "<h1", "</h1>");
            for (const auto& [key, value] :
                 {std::pair<std::string, std::string>{"{{title}}", title}, {"{{body}}", body}}) {
                const size_t at = html.find(key);
                if (at != std::string::npos) html.replace(at, key.size(), value);
            }
            std::ofstream out(output / name.substr(0, name.size() - 3), std::ios::binary);
            out << html;
            if (!out) throw std::runtime_error("cannot write " + name);
        }
        for (const auto& [topic, paragraphs] : topics) {
            if (!used.count(topic)) {
                std::cerr << "help topic " << topic << " is on no page of the guide\n";
                return 1;
            }
        }
        if (fs::exists(source / "images")) {
            fs::copy(source / "images", output / "images",
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        }
    } catch (const std::exception& e) {
        std::cerr << "guidegen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
