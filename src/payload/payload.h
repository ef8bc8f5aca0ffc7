#pragma once
// The files the program carries: written out before the installation, removed after it.
#include <string>

#include "platform/files.h"

// Writes the resource's bytes to the file, replacing what was there. The resource is looked up
// first, so a missing one raises before any file is touched; a failed write raises naming the
// file and the system's reason.
void extractResource(platform::Resources& resources, platform::FileSystem& files,
                     std::wstring fileName, std::wstring resourceName);

// Removes the file when it is there; never complains, whatever goes wrong.
void deleteIfExists(platform::FileSystem& files, std::wstring fileName);
