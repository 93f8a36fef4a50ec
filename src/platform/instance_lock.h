// The program's single-instance lock.
#pragma once

namespace app {

// Takes the lock, held until the process ends, however it ends; true when another instance of
// the program holds it.
bool PrevInstance();

}  // namespace app
