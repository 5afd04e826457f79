#pragma once
// What --help shows as examples, written as the platform writes them. One
// file per platform gives them.

struct HelpExamples {
    const char* port;            // a serial port's name
    const char* userDataFolder;  // where --user-data keeps config.xml
};

HelpExamples PlatformHelpExamples();
