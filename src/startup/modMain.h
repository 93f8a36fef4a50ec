// Module modMain: the program's start-up and the corner veto.
#pragma once

#include <string>

namespace modMain {

// Runs once at process start: the instance test, the settings, then the mode switch taken
// from the argument text (the command line after the program's name).
void Main(const std::string& arguments);

// True when the pointer rests in the corner named by the corner setting, which keeps the
// saver from starting.
bool CursorInDisabledCorner();

}  // namespace modMain
