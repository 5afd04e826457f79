#include "HelpExamples.h"

// The data folder is Qt's generic data location there, the user's local
// application data.
HelpExamples PlatformHelpExamples() { return {"COM3", "%LOCALAPPDATA%\\Talvex"}; }
