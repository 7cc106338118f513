#include "tests/conformance/suite_case.h"

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

namespace conformance {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, ','))
        if (auto t = trim(item); !t.empty()) out.push_back(t);
    return out;
}

using Sections = std::map<std::string, std::map<std::string, std::string>>;

Sections readIni(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    Sections sections;
    std::string line, section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) throw std::runtime_error("bad line in " + file.string());
        sections[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return sections;
}

}  // namespace

uint32_t RgbaImage::at(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return uint32_t{pixels[i]} << 24 | uint32_t{pixels[i + 1]} << 16 |
           uint32_t{pixels[i + 2]} << 8 | pixels[i + 3];
}

void RgbaImage::set(int x, int y, uint32_t rgba) {
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    pixels[i] = static_cast<uint8_t>(rgba >> 24);
    pixels[i + 1] = static_cast<uint8_t>(rgba >> 16);
    pixels[i + 2] = static_cast<uint8_t>(rgba >> 8);
    pixels[i + 3] = static_cast<uint8_t>(rgba);
}

std::vector<std::string> listCases(const std::filesystem::path& suiteDir) {
    std::ifstream in(suiteDir / "TESTS");
    if (!in) throw std::runtime_error("cannot open the suite's TESTS list");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line))
        if (auto t = trim(line); !t.empty()) names.push_back(t);
    return names;
}

SuiteCase readCase(const std::filesystem::path& suiteDir, const std::string& name) {
    const auto ini = readIni(suiteDir / (name + ".conf"));
    const auto cfg = ini.find("config");
    if (cfg == ini.end()) throw std::runtime_error(name + ": no [config] section");
    auto get = [&](const std::string& key) {
        const auto it = cfg->second.find(key);
        return it == cfg->second.end() ? std::string{} : it->second;
    };
    SuiteCase c;
    c.name = name;
    c.input = get("input");
    c.width = std::stoi(get("width"));
    c.height = std::stoi(get("height"));
    c.loopCount = get("loop-count");
    c.forceAnimation = get("force-animation") == "yes";
    for (const auto& frameName : splitList(get("frames"))) {
        const auto sec = ini.find(frameName);
        if (sec == ini.end()) throw std::runtime_error(name + ": no section " + frameName);
        ExpectedFrame f;
        if (auto it = sec->second.find("pixels"); it != sec->second.end())
            f.pixelsFile = it->second;
        if (auto it = sec->second.find("delay"); it != sec->second.end())
            f.delayCs = std::stoi(it->second);
        c.frames.push_back(f);
    }
    return c;
}

std::vector<uint8_t> readFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RgbaImage readRgba(const std::filesystem::path& file, int width, int height) {
    RgbaImage img(width, height);
    auto bytes = readFileBytes(file);
    if (bytes.size() != img.pixels.size())
        throw std::runtime_error(file.string() + ": size does not match " + std::to_string(width) +
                                 " x " + std::to_string(height));
    img.pixels = std::move(bytes);
    return img;
}

}  // namespace conformance
