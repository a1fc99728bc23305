// The scripted user's steps on a simulated drive, for dialog scripts (docs/dialog-scripts.md):
// the hand on the shaft, the mark on it, the digital and analogue inputs, the environment and
// injected faults.
// Each step first runs the drive to the dialog clock's present time and acts there, so a turn of
// two seconds takes two seconds of virtual time and no wall time.
#pragma once

#include <functional>

#include "drivesim/drive.h"
#include "ui/condition.h"
#include "ui/script.h"

namespace drivesim::link {

// Gives the simulated drive when a step runs; null when the drive is not simulated (a step then
// fails, naming itself).
using DriveSource = std::function<Drive*()>;

// Adds the steps to a vocabulary. Other components add theirs the same way.
void AddSimulatorSteps(ui::StepVocabulary& vocabulary, DriveSource drive);

// The shaft has turned by `angle` (rad or m) since the mark, within `tolerance`.
ui::Condition ShaftTurned(DriveSource drive, double angle, double tolerance, std::string shown);

}  // namespace drivesim::link
