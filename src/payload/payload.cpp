#include "src/payload/payload.h"

void extractResource(platform::Resources& resources, platform::FileSystem& files,
                     std::wstring fileName, std::wstring resourceName) {
    const auto bytes = resources.find(resourceName);
    files.writeFile(fileName, bytes);
}

void deleteIfExists(platform::FileSystem& files, std::wstring fileName) {
    // Clean-up runs on every path out of the installation, failed ones included: a leftover file
    // is not worth an error box.
    try {
        if (files.fileExists(fileName))
            files.deleteFile(fileName);
    } catch (...) {
    }
}
