// Encoder_Connection_Test, Encoder_LD_Connection_Test: the counters and the index captures are
// the drive's own; the program only marks itself started and waits for the host to end it
// (var_i2 := 0; STARTED := 1; runs until var_i2 leaves 0, the host's stop, or the next launch).
#include "programs/monitoring_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

std::unique_ptr<Program> CreateEncoderConnection() { return std::make_unique<MonitoringProgram>(); }

}  // namespace drivesim::programs
