// Palette access: reading, replacing, caching and restoring the loaded colour tables.
#include <algorithm>
#include <new>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/runtime_error.h"

namespace anigif {
namespace {

[[noreturn]] void raiseOutOfMemory(const char* source) {
    throw platform::RuntimeError(platform::errors::kOutOfMemory, source, "Out of memory");
}

// Colour count of a table, never more than its 256 entries.
size_t colourCount(const ColorTable& table) noexcept {
    return std::min<size_t>(table[kColorCountEntry], 256);
}

}  // namespace

int32_t& PaletteArray::operator()(int32_t index) {
    const int64_t offset = int64_t{index} - lowerBound;
    if (offset < 0 || offset >= static_cast<int64_t>(values.size())) platform::raiseSubscript();
    return values[static_cast<size_t>(offset)];
}

int32_t PaletteArray::operator()(int32_t index) const {
    const int64_t offset = int64_t{index} - lowerBound;
    if (offset < 0 || offset >= static_cast<int64_t>(values.size())) platform::raiseSubscript();
    return values[static_cast<size_t>(offset)];
}

void PaletteArray::redim(int32_t first, int32_t last) {
    const int64_t count = last >= first ? int64_t{last} - first + 1 : 0;
    values.assign(static_cast<size_t>(count), 0);
    lowerBound = first;
    dimensioned = true;
}

ColorTable* ucAniGIF::chooseColorTable(int32_t FrameIndex) noexcept {
    int32_t table = 0;
    if (FrameIndex > 0) {
        if (FrameIndex > Frames.upperBound()) return nullptr;
        table = Frames.span()[static_cast<size_t>(FrameIndex) - 1].TableIndex;
        if (table == 0) return nullptr;  // the frame has no table of its own
    }
    if (table < 0 || static_cast<size_t>(table) >= ColorTables.size()) return nullptr;
    return &ColorTables[static_cast<size_t>(table)];
}

bool ucAniGIF::pauseForPalette() noexcept {
    if (animState != ActionPlay) return false;
    try {
        Action(ActionPause);
    } catch (...) {
        // A failing repaint or handler during the pause must not reach the palette's caller.
    }
    return animState == ActionPause;
}

void ucAniGIF::resumeAfterPalette(bool paused) noexcept {
    try {
        if (paused && currentFrame != 0) {
            Action(ActionPlay);
        } else if (!paused) {
            host_->refresh();
        }
    } catch (...) {
    }
}

bool ucAniGIF::GetPalette(int32_t FrameIndex, PaletteArray& paletteEntries) noexcept {
    if (currentFrame == 0 || FrameIndex < 0) return false;
    const bool paused = pauseForPalette();

    bool result = false;
    const ColorTable* table = chooseColorTable(FrameIndex);
    // A table without colours (the global table of a GIF with only local ones) cannot fill an
    // array: false, like a missing table.
    if (table != nullptr && colourCount(*table) > 0) {
        const size_t count = colourCount(*table);
        try {
            std::vector<int32_t> values(count);
            for (size_t i = 0; i < count; ++i) values[i] = static_cast<int32_t>((*table)[i]);
            paletteEntries.values = std::move(values);
            paletteEntries.lowerBound = 0;
            paletteEntries.dimensioned = true;
            result = true;
        } catch (...) {
        }
    }

    if (paused) resumeAfterPalette(true);
    return result;
}

bool ucAniGIF::SetPalette(int32_t FrameIndex, const PaletteArray& paletteEntries) noexcept {
    if (currentFrame == 0) return false;
    if (!paletteEntries.dimensioned || FrameIndex < 0) return false;
    const bool paused = pauseForPalette();

    bool result = false;
    // The frame may have been released by a handler run during the pause.
    ColorTable* table = currentFrame != 0 ? chooseColorTable(FrameIndex) : nullptr;
    if (table != nullptr) {
        const size_t count = colourCount(*table);
        // Elements the array really holds, so that an empty array never passes for a short one.
        if (paletteEntries.values.size() >= count) {
            dropKeptComposites();  // they hold the old colours
            for (size_t i = 0; i < count; ++i)
                (*table)[i] = static_cast<uint32_t>(paletteEntries.values[i]);
            TableCount = -1;  // the next drawn frame loads its colours again
            result = true;
        }
    }

    resumeAfterPalette(paused);
    return result;
}

bool ucAniGIF::CacheColorTables() {
    if (colorTableCacheHeld_) return false;
    try {
        colorTableCache_ = ColorTables;
    } catch (const std::bad_alloc&) {
        raiseOutOfMemory("CacheColorTables");
    }
    colorTableCacheHeld_ = true;
    return true;
}

bool ucAniGIF::RestoreColorTables(bool bReleaseCache) {
    if (!colorTableCacheHeld_) return false;
    if (bReleaseCache) {
        ColorTables = std::move(colorTableCache_);
        ReleaseColorTableCache();
    } else {
        try {
            ColorTables = colorTableCache_;
        } catch (const std::bad_alloc&) {
            raiseOutOfMemory("RestoreColorTables");
        }
    }
    TableCount = -1;
    dropKeptComposites();  // they hold the old colours
    return true;
}

void ucAniGIF::ReleaseColorTableCache() noexcept {
    colorTableCache_.clear();
    colorTableCache_.shrink_to_fit();
    colorTableCacheHeld_ = false;
}

}  // namespace anigif
