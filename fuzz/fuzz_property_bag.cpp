// Stored description files from anywhere: reading must refuse or give a whole bag, never crash,
// and an accepted bag must survive a save and reload unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/property_bag.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::PropertyBag bag;
    try {
        bag = platform::PropertyBag::fromBytes(std::span<const uint8_t>(data, size));
    } catch (const platform::PropertyBagError&) {
        return 0;
    }
    const platform::PropertyBag again = platform::PropertyBag::fromBytes(bag.toBytes());
    if (!(again == bag)) std::abort();
    // Every conversion a control's read may ask for either succeeds or raises its error.
    for (const auto& e : bag.entries()) {
        if (bag.readProperty(e.name, false) != e.value) std::abort();
        try {
            (void)e.value.toInt16();
        } catch (const platform::RuntimeError&) {
        }
        try {
            (void)e.value.toInt32();
        } catch (const platform::RuntimeError&) {
        }
        try {
            (void)e.value.toBool();
        } catch (const platform::RuntimeError&) {
        }
        try {
            (void)e.value.toBytes();
        } catch (const platform::RuntimeError&) {
        }
        try {
            (void)e.value.toPicture();
        } catch (const platform::RuntimeError&) {
        }
    }
    return 0;
}
