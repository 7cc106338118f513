// anigif-design: makes, prints and unpacks stored descriptions of the animated-GIF control.
//
//   anigif-design FILE.gif OUT [--stretch N] [--loops N] [--delay MS] [--mirror N]
//                 [--delay-load N] [--offset X Y] [--solid BBGGRR] [--stepped MS] [--extent X Y]
//                 [--deadline S]
//   anigif-design --dump FILE
//   anigif-design --extract FILE KEY OUT
//
// Making a description places a control on a windowless host in design mode, assigns it the
// GIF as a picture (so the description stores the file's bytes exactly), applies the options
// through the control's property setters and saves what WriteProperties stores. FILE.gif may
// also be an http, https or file address: the control then loads it through its remote path,
// which keeps the downloaded bytes as they came, and its remote events go to standard error. Errors
// print "anigif-design: error: WHAT" on standard error; the status is 0 on success, 1 when the work
// failed (a missing or damaged file, a write that failed) and 2 for a usage error. An output
// that names an input is refused before anything is read or written, and outputs replace their
// files in one step, so a failed run leaves every file as it was.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "apps/tool_main.h"
#if ANIGIF_TOOL_ADDRESSES
#include "apps/remote/tool_remote.h"
#endif
#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/atomic_file.h"
#include "platform/headless_host.h"
#include "platform/memory_budget.h"
#include "platform/property_bag.h"
#include "platform/sha256.h"

using tool::Failure;
using tool::UsageError;

namespace {

constexpr std::string_view kProgram = "anigif-design";
constexpr std::string_view kUsage =
    "usage: anigif-design FILE.gif OUT [--stretch N] [--loops N] [--delay MS] [--mirror N]\n"
    "                     [--delay-load N] [--offset X Y] [--solid BBGGRR] [--stepped MS]\n"
    "                     [--extent X Y] [--deadline S]\n"
    "       anigif-design --dump FILE\n"
    "       anigif-design --extract FILE KEY OUT\n"
    "       anigif-design --help | --version\n"
    "\n"
    "Makes a stored description of the animated-GIF control from FILE.gif and writes it to OUT;\n"
    "--dump prints the entries of a description, --extract writes the byte array stored under\n"
    "KEY to OUT.\n"
    "\n"
    "FILE.gif may be an http://, https:// or file:// address: it is downloaded through the\n"
    "control's remote loading, and the control's RemoteLoadComplete and RemoteLoadFailure\n"
    "events are printed on standard error as they happen. A download that fails\n"
    "(RemoteLoadFailure) exits with status 1.\n"
    "\n"
    "  --stretch N      0 to 4          --loops N        0 or more\n"
    "  --delay MS       10 to 32700     --mirror N       0 to 3\n"
    "  --delay-load N   0 to 3          --offset X Y     pixels\n"
    "  --solid BBGGRR   solid background colour         --stepped MS   0 or more\n"
    "  --extent X Y     the host's size in hundredths of a millimetre\n"
    "  --deadline S     seconds a download may take before it fails (default 120,\n"
    "                   0 for no limit)\n"
    "\n"
    "Exit status: 0 success, 1 the work failed, 2 usage error.\n";

std::vector<uint8_t> readWholeFile(const std::filesystem::path& path) {
    // The control loads nothing larger than its budget, nor what is no GIF at its start.
    const std::string problem = tool::fileProblem(path, platform::memoryBudgetBytes());
    if (!problem.empty()) throw Failure("cannot read " + path.string() + ": " + problem);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw Failure("cannot read " + path.string() + ": " + ec.message());
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || in.gcount() != static_cast<std::streamsize>(bytes.size()))
        throw Failure("cannot read " + path.string());
    return bytes;
}

// Refuses an output that is one of the inputs, whatever the spelling of either path.
void refuseOverwritingInput(const std::filesystem::path& input, const std::filesystem::path& out) {
    if (platform::sameFile(input, out))
        throw UsageError("the output " + out.string() + " is the input " + input.string() +
                         "; choose another output file");
}

int32_t parseNumber(std::string_view option, std::string_view text, int64_t low, int64_t high,
                    int base = 10) {
    if (base != 16) return tool::wholeNumber(option, text, low, high);
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        throw UsageError(std::string(option) + " takes a hexadecimal colour BBGGRR, not \"" +
                         std::string(text) + "\"");
    return static_cast<int32_t>(value);
}

std::string valueText(const platform::PropertyValue& value) {
    switch (value.type()) {
        case platform::PropertyType::Bytes:
        case platform::PropertyType::Picture: {
            const std::vector<uint8_t> bytes = value.type() == platform::PropertyType::Bytes
                                                   ? value.toBytes()
                                                   : value.toPicture().encoded;
            return std::to_string(bytes.size()) + " sha256=" + platform::sha256Hex(bytes);
        }
        case platform::PropertyType::Bool:
            return value.toBool() ? "true" : "false";
        case platform::PropertyType::Int16:
        case platform::PropertyType::Int32:
            return std::to_string(value.toInt32());
    }
    return {};
}

int dump(const std::filesystem::path& file) {
    const platform::PropertyBag bag = platform::PropertyBag::loadFile(file);
    for (const auto& entry : bag.entries()) {
        std::cout << entry.name << ' ' << platform::propertyTypeName(entry.value.type()) << ' '
                  << valueText(entry.value) << '\n';
    }
    return 0;
}

int extract(const std::filesystem::path& file, std::string_view key,
            const std::filesystem::path& out) {
    refuseOverwritingInput(file, out);
    const platform::PropertyBag bag = platform::PropertyBag::loadFile(file);
    const platform::PropertyValue* value = bag.find(key);
    if (value == nullptr)
        throw Failure(file.string() + " holds no key \"" + std::string(key) + "\"");
    if (value->type() != platform::PropertyType::Bytes)
        throw Failure("key \"" + std::string(key) + "\" holds " +
                      std::string(platform::propertyTypeName(value->type())) +
                      ", not a byte array");
    platform::writeFileAtomically(out, *value->byteView());
    return 0;
}

struct DesignOptions {
    std::optional<int32_t> stretch, loops, delay, mirror, delayLoad, stepped, solid, deadline;
    std::optional<std::pair<int32_t, int32_t>> offset, extent;
};

DesignOptions parseOptions(const std::vector<std::string_view>& args) {
    DesignOptions o;
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto next = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
            return args[++i];
        };
        if (name == "--stretch") {
            o.stretch = parseNumber(name, next(), 0, 4);
        } else if (name == "--loops") {
            o.loops = parseNumber(name, next(), 0, kMax);
        } else if (name == "--delay") {
            o.delay = parseNumber(name, next(), 10, 32700);
        } else if (name == "--mirror") {
            o.mirror = parseNumber(name, next(), 0, 3);
        } else if (name == "--delay-load") {
            o.delayLoad = parseNumber(name, next(), 0, 3);
        } else if (name == "--stepped") {
            o.stepped = parseNumber(name, next(), 0, kMax);
        } else if (name == "--solid") {
            o.solid = parseNumber(name, next(), 0, 0xFFFFFF, 16);
        } else if (name == "--offset") {
            const int32_t x = parseNumber(name, next(), kMin, kMax);
            o.offset = {{x, parseNumber(name, next(), kMin, kMax)}};
        } else if (name == "--deadline") {
            o.deadline = parseNumber(name, next(), 0, 2000000);
        } else if (name == "--extent") {
            const int32_t x = parseNumber(name, next(), 0, kMax);
            o.extent = {{x, parseNumber(name, next(), 0, kMax)}};
        } else {
            throw UsageError(
                (name.starts_with("-") ? "unknown option \"" : "unexpected argument \"") +
                std::string(name) + "\"");
        }
    }
    return o;
}

// The file an input names: itself, or the file of a file address.
std::filesystem::path inputFile(const std::string& input) {
#if ANIGIF_TOOL_ADDRESSES
    if (tool::isAddress(input)) return tool::addressedFile(input);
#endif
    return input;
}

int design(const std::string& gifFile, const std::filesystem::path& out, const DesignOptions& o) {
    refuseOverwritingInput(inputFile(gifFile), out);
    std::unique_ptr<anigif::Picture> picture;
#if ANIGIF_TOOL_ADDRESSES
    const bool address = tool::isAddress(gifFile);
#else
    const bool address = false;
#endif
    if (!address) {
        const std::vector<uint8_t> bytes = readWholeFile(gifFile);
        picture = anigif::BytesToPicture(bytes);
        if (!picture) throw Failure(gifFile + " is not a GIF picture");
    }

    platform::HeadlessHost host;
    host.setUserMode(false);
    if (o.extent) {
        // HIMETRIC (hundredths of a millimetre) to pixels at 96 dots per inch.
        host.setInnerSize(o.extent->first * 96.0 / 2540.0, o.extent->second * 96.0 / 2540.0);
    }
    anigif::ucAniGIF control(host);
    host.onPaint = [&control] { control.UserControl_Paint(); };
    host.onResize = [&control] { control.UserControl_Resize(); };

#if ANIGIF_TOOL_ADDRESSES
    if (address) {
        if (o.deadline) control.remoteDeadlineMs = int64_t{*o.deadline} * 1000;
        if (tool::loadRemote(kProgram, control, host, gifFile, std::cerr) ==
            tool::RemoteOutcome::Failed)
            throw Failure("cannot load " + gifFile + ": the download failed (RemoteLoadFailure)");
    }
#endif
    if (picture) {
        control.AnimatedGIF(picture.get());
        picture.reset();  // the control holds its own copy of the bytes
    }
    if (control.FrameCount() == 0) throw Failure(gifFile + " holds no playable frame");
    if (o.stretch) control.Stretch(*o.stretch);
    if (o.loops) control.Loops(*o.loops);
    if (o.delay) control.MinFrameDelay(*o.delay);
    if (o.mirror) control.Mirrored(*o.mirror);
    if (o.delayLoad) control.DelayAnimation(*o.delayLoad);
    if (o.offset) {
        control.OffsetX(o.offset->first);
        control.OffsetY(o.offset->second);
    }
    if (o.solid) {
        control.SolidBkgColor(*o.solid);
        control.SolidBkgColorUsed(true);
    }
    if (o.stepped) control.SteppedDelay(*o.stepped);

    platform::PropertyBag bag;
    if (o.extent) {
        bag.writeProperty("_extentx", platform::PropertyValue{o.extent->first});
        bag.writeProperty("_extenty", platform::PropertyValue{o.extent->second});
    }
    control.WriteProperties(bag);
    bag.saveFile(out);
    return 0;
}

int run(const std::vector<std::string_view>& args) {
    if (!args.empty() && args[0] == "--dump") {
        if (args.size() != 2) throw UsageError("--dump takes one file");
        return dump(args[1]);
    }
    if (!args.empty() && args[0] == "--extract") {
        if (args.size() != 4) throw UsageError("--extract takes a file, a key and an output file");
        return extract(args[1], args[2], args[3]);
    }
    if (!args.empty() && args[0].starts_with("-") && args[0].size() > 1)
        throw UsageError("unknown option \"" + std::string(args[0]) + "\"");
    if (args.size() < 2 || args[1].starts_with("--"))
        throw UsageError("a GIF file and an output file are needed");
    // Every option is checked before any file is read.
    const DesignOptions options = parseOptions({args.begin() + 2, args.end()});
    return design(std::string(args[0]), args[1], options);
}

}  // namespace

int main(int argc, char** argv) {
    return tool::runMain(kProgram, kUsage, argc, argv,
                         [&] { return run(std::vector<std::string_view>(argv + 1, argv + argc)); });
}
