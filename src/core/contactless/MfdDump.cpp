#include "core/contactless/MfdDump.h"

#include <fstream>
#include <iterator>

bool SaveMfd(const std::string& path, const ClassicImage& image, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.bytes.data()),
               static_cast<std::streamsize>(image.bytes.size()));
    file.close();
    if (!file) {
        error = "Cannot write \"" + path + "\"";
        return false;
    }
    return true;
}

std::optional<ClassicImage> ImageFromMfd(const Bytes& bytes, std::string& error) {
    const auto type = ClassicTypeOfSize(bytes.size());
    if (!type) {
        error = "A .mfd dump holds 320, 1024 or 4096 bytes; this one holds " +
                (bytes.size() > 4096 ? std::string("more") : std::to_string(bytes.size())) + ".";
        return std::nullopt;
    }
    const ClassicLayout layout(*type);
    ClassicImage image;
    image.type = *type;
    image.bytes = bytes;
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        image.sectors.push_back(
            {std::nullopt, std::vector<bool>(layout.BlocksInSector(sector), true)});
    }
    return image;
}

std::optional<ClassicImage> LoadMfd(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "Cannot read \"" + path + "\"";
        return std::nullopt;
    }
    // One byte more than the largest dump is enough to tell that a file is too long.
    Bytes bytes(4097);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return ImageFromMfd(bytes, error);
}
