#pragma once
// GIF addresses in the command-line tools. An http, https or file address is loaded through the
// control's own remote path: LoadAnimatedGIF_Remote on the tool's headless host, whose
// asynchronous reads go to the Qt reader the widget uses, on a Qt event loop (no display) that
// runs until the download has ended. The remote events the control raises are printed on
// standard error as they come, one line each: "PROGRAM: EVENT NAME=VALUE ...".
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"

namespace tool {

// True for text that names a location by address: it starts with "http:", "https:" or "file:"
// (in any case). Everything else is a path.
bool isAddress(std::string_view text);

// The local file a file address names, for comparing outputs with inputs; empty for any other
// address.
std::string addressedFile(std::string_view address);

// What became of a remote load.
enum class RemoteOutcome {
    Loaded,    // RemoteLoadComplete, then a GIF with frames
    NoFrames,  // RemoteLoadComplete, but nothing in the download loads
    Failed,    // RemoteLoadFailure
};

// Loads `address` into `control`, whose host is `host`, and waits for the outcome. The read
// ends by the control's remote deadline at the latest. `log` gets the event lines, prefixed with
// `program`. The reader keeps no disk cache.
RemoteOutcome loadRemote(std::string_view program, anigif::ucAniGIF& control,
                         platform::HeadlessHost& host, std::string_view address, std::ostream& log);

}  // namespace tool
