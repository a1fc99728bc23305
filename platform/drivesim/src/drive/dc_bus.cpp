// The drive's side of the regenerating bus: the brake chopper, switched by the drive against
// BRAKELIM (bus ADC counts) when OSR bit 9 enables it, and the capacitor's charge over a step.
#include "drive/drive_impl.h"

namespace drivesim {

bool Drive::Impl::BrakeOn() const {
  if (!protection.brakeEnabled || !busParams.brakeResistor_ohm) return false;
  return stage.bus_V * busAdc.countsPerUnit > protection.brakeLimitCounts;
}

bool Drive::Impl::BusSettled() const {
  return !BrakeOn() && model::BusAtRest(busParams, stageParams.supply_V, stage.bus_V);
}

// The chopper's state is decided at the start of the step and held over it.
void Drive::Impl::ChargeBus(double dcCurrent_A, double h_s) {
  const model::BusLoad load{stageParams.supply_V, stageParams.supplyResistance_ohm, dcCurrent_A, BrakeOn()};
  stage.bus_V = model::AdvanceBusVoltage(busParams, load, stage.bus_V, h_s);
}

}  // namespace drivesim
