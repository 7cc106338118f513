// Reading and saving a bag's file: sizes checked before reading, errors named with the file.
#include <fstream>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/property_bag.h"
#include "platform/property_bag_codec.h"

namespace platform {

void PropertyBag::saveFile(const std::filesystem::path& path) const {
    const ByteArray bytes = toBytes();
    try {
        writeFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        throw PropertyBagError(e.what());
    }
}

PropertyBag PropertyBag::loadFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw PropertyBagError("cannot read " + path.string() + ": " + ec.message());
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PropertyBagError("cannot read " + path.string());
    if (size > maxFileBytes()) {
        // Too large to read, but its start still says whether it is foreign or newer.
        ByteArray start(bag_codec::kVersionedStartBytes);
        in.read(reinterpret_cast<char*>(start.data()), static_cast<std::streamsize>(start.size()));
        try {
            bag_codec::checkStart(start);
        } catch (const PropertyBagError& e) {
            throw PropertyBagError(path.string() + ": " + e.what());
        }
        throw PropertyBagError(path.string() +
                               ": not a valid property bag: the file is larger than " +
                               std::to_string(maxFileBytes()) + " bytes");
    }
    ByteArray data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.gcount() != static_cast<std::streamsize>(data.size()))
        throw PropertyBagError("cannot read " + path.string() + ": the file changed while reading");
    try {
        return fromBytes(data);
    } catch (const PropertyBagError& e) {
        throw PropertyBagError(path.string() + ": " + e.what());
    }
}

}  // namespace platform
