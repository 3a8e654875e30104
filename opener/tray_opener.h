// traypop: opens the door of the one CD drive named on its command line, and ends.
#pragma once

#include <string>

#include "services/drive_control.h"
#include "services/process.h"

namespace zelvo {

// The drive letter is the argument text's first character, unchanged; empty for no argument.
std::wstring driveLetterOf(const std::wstring& argumentText);

// Opens the drive's CD-audio device under the alias "Drive" + letter and opens its door.
// Returns the door command's code; the open command's is of no use, since the door command
// fails on its own when the open did.
long openTray(DriveControl& driveControl, const std::wstring& driveLetter);

// The whole life of the program: one attempt, whatever the drive answers, then the end.
void runTrayOpener(Process& process, DriveControl& driveControl);

}  // namespace zelvo
