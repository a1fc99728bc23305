// The regenerating DC bus: a capacitor fed from the supply through R_s (optionally through a
// rectifier diode) and drained by the inverter and the brake chopper,
//   C_bus·dV_bus/dt = i_supply − i_dc − i_brake,  i_supply = (V_supply − V_bus)/R_s,
// with i_supply ≥ 0 behind the diode and i_brake = V_bus/R_brake while the chopper conducts.
// Without a capacitor the drive keeps the stiff bus of the power stage.
#pragma once

#include <array>
#include <optional>

namespace drivesim::model {

struct DcBusParams {
  std::optional<double> capacitor_F;       // none: the stiff bus
  bool supplyDiode = false;                // the supply only delivers current (i_supply ≥ 0)
  std::optional<double> brakeResistor_ohm; // none: no brake chopper
  bool Stiff() const { return !capacitor_F.has_value(); }
};

// What acts on the capacitor over one step, held constant over it.
struct BusLoad {
  double supply_V = 0.0;
  double supplyResistance_ohm = 0.0;
  double dcCurrent_A = 0.0;                // i_dc, drawn by the inverter
  bool brakeOn = false;
};

// DC current drawn by the inverter: d_x·i_x per switching leg; an open leg carrying a negative
// current returns it to the positive rail through its upper freewheeling diode.
double InverterDcCurrent(const std::array<double, 3>& duty, const std::array<bool, 3>& legSwitching,
                         const std::array<double, 3>& legCurrent_A);

// The bus voltage h_s seconds on. The equation is linear between the diode's switching points,
// so each piece is solved exactly (V_eq + (V − V_eq)·e^(−G·t/C)); the trajectory is monotone
// under a held load, so the diode switches at most once in a step, at V_bus = V_supply.
double AdvanceBusVoltage(const DcBusParams& bus, const BusLoad& load, double bus_V, double h_s);

// Whether the bus stays where it is with no inverter current and the chopper off (within 1 µV):
// the drive may then skip time without stepping it.
bool BusAtRest(const DcBusParams& bus, double supply_V, double bus_V);

}  // namespace drivesim::model
