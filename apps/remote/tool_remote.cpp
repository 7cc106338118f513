#include "apps/remote/tool_remote.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QUrl>
#include <memory>
#include <span>
#include <variant>

#include "platform/ascii_case.h"
#include "platform/qt/async_reader.h"

namespace tool {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// One event line: the name, then each argument as NAME=VALUE.
void printEvent(std::ostream& log, std::string_view program, std::string_view name,
                std::span<const platform::EventArg> args) {
    log << program << ": " << name;
    for (const auto& arg : args) {
        log << ' ' << arg.name << '=';
        std::visit(
            [&log](const auto& v) {
                using V = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<V, bool>)
                    log << (v ? "true" : "false");
                else
                    log << v;
            },
            arg.value);
    }
    log << std::endl;
}

// The Qt application the reader's event loop needs, made on first use and kept to the end.
void ensureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "anigif";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

}  // namespace

bool isAddress(std::string_view text) {
    return startsWithIgnoringCase(text, "http:") || startsWithIgnoringCase(text, "https:") ||
           startsWithIgnoringCase(text, "file:");
}

std::string addressedFile(std::string_view address) {
    if (!startsWithIgnoringCase(address, "file:")) return {};
    const QUrl url(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())));
    return url.isLocalFile() ? url.toLocalFile().toStdString() : std::string();
}

RemoteOutcome loadRemote(std::string_view program, anigif::ucAniGIF& control,
                         platform::HeadlessHost& host, std::string_view address,
                         std::ostream& log) {
    ensureApplication();
    platform::qt::AsyncReader reader;
    reader.setCacheDirectory({});

    bool ended = false, complete = false, failed = false;
    reader.onComplete = [&](std::string_view name, std::span<const uint8_t> data, int64_t bytes,
                            std::shared_ptr<const void> keeper) {
        control.UserControl_AsyncReadComplete(name, data, bytes, std::move(keeper));
        ended = true;
    };
    reader.onProgress = [&](std::string_view name, int32_t status, int64_t bytes) {
        control.UserControl_AsyncReadProgress(name, status, bytes);
        if (status == platform::qt::AsyncReader::kStatusFailed) ended = true;
    };
    host.onAsyncRead = [&](std::string_view target, std::string_view name, int32_t option) {
        reader.setLimits(host.asyncReadLimits());
        return reader.start(target, name, option);
    };
    host.onCancelAsyncRead = [&](std::string_view name) { reader.cancel(name); };
    auto shownEvents = std::move(host.onEvent);
    host.onEvent = [&](int32_t number, std::string_view name, std::span<platform::EventArg> args) {
        if (shownEvents) shownEvents(number, name, args);
        if (number == anigif::EventRemoteLoadComplete) complete = true;
        if (number == anigif::EventRemoteLoadFailure) failed = ended = true;
        if (number == anigif::EventRemoteLoadComplete || number == anigif::EventRemoteLoadFailure)
            printEvent(log, program, name, args);
    };

    control.LoadAnimatedGIF_Remote(address);
    while (!ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    host.onEvent = std::move(shownEvents);
    host.onAsyncRead = nullptr;
    host.onCancelAsyncRead = nullptr;
    if (failed || !complete) return RemoteOutcome::Failed;
    return control.FrameCount() > 0 ? RemoteOutcome::Loaded : RemoteOutcome::NoFrames;
}

}  // namespace tool
