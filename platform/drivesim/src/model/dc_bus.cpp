#include "model/dc_bus.h"

#include <algorithm>
#include <cmath>

namespace drivesim::model {

namespace {
constexpr double kRest_V = 1e-6;

// One linear piece: C·dV/dt = G·(V_eq − V) − I, written as the conductance G to the bus and the
// current source I = i_dc − G_s·V_supply that the piece sees.
struct Piece {
  double conductance_S = 0.0;
  double source_A = 0.0;      // current into the capacitor at V = 0
};

Piece PieceFor(const DcBusParams& bus, const BusLoad& load, bool supplying) {
  Piece piece;
  if (supplying) {
    const double supply_S = 1.0 / load.supplyResistance_ohm;
    piece.conductance_S += supply_S;
    piece.source_A += supply_S * load.supply_V;
  }
  if (load.brakeOn) piece.conductance_S += 1.0 / *bus.brakeResistor_ohm;
  piece.source_A -= load.dcCurrent_A;
  return piece;
}

double Solve(const Piece& piece, double capacitor_F, double bus_V, double t_s) {
  if (piece.conductance_S == 0.0) return bus_V + piece.source_A * t_s / capacitor_F;
  const double equilibrium_V = piece.source_A / piece.conductance_S;
  return equilibrium_V + (bus_V - equilibrium_V) * std::exp(-piece.conductance_S * t_s / capacitor_F);
}

// Time for a piece to move the bus from `bus_V` to `target_V` (known to be on its way).
double TimeTo(const Piece& piece, double capacitor_F, double bus_V, double target_V) {
  if (piece.conductance_S == 0.0) return (target_V - bus_V) * capacitor_F / piece.source_A;
  const double equilibrium_V = piece.source_A / piece.conductance_S;
  return capacitor_F / piece.conductance_S * std::log((bus_V - equilibrium_V) / (target_V - equilibrium_V));
}

// A supply without diode always conducts; behind the diode it conducts below the supply voltage,
// and at it when the capacitor would otherwise discharge.
bool Supplying(const DcBusParams& bus, const BusLoad& load, double bus_V) {
  if (!bus.supplyDiode || bus_V < load.supply_V) return true;
  if (bus_V > load.supply_V) return false;
  const Piece unsupplied = PieceFor(bus, load, false);
  return unsupplied.source_A - unsupplied.conductance_S * bus_V < 0.0;
}
}  // namespace

double InverterDcCurrent(const std::array<double, 3>& duty, const std::array<bool, 3>& legSwitching,
                         const std::array<double, 3>& legCurrent_A) {
  double dcCurrent_A = 0.0;
  for (std::size_t x = 0; x < 3; ++x) {
    dcCurrent_A += legSwitching[x] ? std::clamp(duty[x], 0.0, 1.0) * legCurrent_A[x] : std::min(legCurrent_A[x], 0.0);
  }
  return dcCurrent_A;
}

double AdvanceBusVoltage(const DcBusParams& bus, const BusLoad& load, double bus_V, double h_s) {
  const double capacitor_F = *bus.capacitor_F;
  const bool supplying = Supplying(bus, load, bus_V);
  const Piece piece = PieceFor(bus, load, supplying);
  const double end_V = Solve(piece, capacitor_F, bus_V, h_s);
  if (!bus.supplyDiode) return end_V;
  // The diode blocks once the bus rises past the supply, and conducts once it falls below it.
  const bool crosses = supplying ? end_V > load.supply_V : end_V < load.supply_V;
  if (!crosses) return end_V;
  const double rest_s = h_s - TimeTo(piece, capacitor_F, bus_V, load.supply_V);
  return Solve(PieceFor(bus, load, !supplying), capacitor_F, load.supply_V, std::max(rest_s, 0.0));
}

bool BusAtRest(const DcBusParams& bus, double supply_V, double bus_V) {
  if (bus.Stiff()) return true;
  if (bus.supplyDiode && bus_V >= supply_V) return true;
  return std::abs(bus_V - supply_V) <= kRest_V;
}

}  // namespace drivesim::model
