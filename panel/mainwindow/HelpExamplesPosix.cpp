#include "HelpExamples.h"

HelpExamples PlatformHelpExamples() { return {"/dev/ttyUSB0", "~/.local/share/Talvex"}; }
