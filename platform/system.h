#pragma once
// Everything the portable code needs from the operating system, handed to it in one piece.
#include "platform/addresses.h"
#include "platform/clock.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/profile_dialogs.h"
#include "platform/tool_folders.h"

namespace platform {

struct System {
    AddressSource& addresses;
    Processes& processes;
    MessageLoop& loop;
    FileSystem& files;
    Resources& resources;
    Clock& clock;
    Network& network;
    ToolFolders& toolFolders;
    // Signing the widget for TVs that take only a package signed with the owner's profile.
    Crypto& crypto;
    ProfileDialogs& profileDialogs;
    Settings& settings;
};

}  // namespace platform
