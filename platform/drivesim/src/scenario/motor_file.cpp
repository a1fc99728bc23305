// The motor file (JSON, version 1): every key checked for type and range, keys of the other
// motor kind or of another sensor type rejected as unknown.
#include <algorithm>
#include <cmath>

#include "drivesim/motor_model.h"
#include "scenario/object_reader.h"

namespace drivesim {

namespace {

using files::ObjectReader;

SensorType SensorTypeOf(const std::string& text) {
  if (text == "incremental") return SensorType::incremental;
  if (text == "sincos") return SensorType::sincos;
  if (text == "linear_hall") return SensorType::linear_hall;
  if (text == "resolver") return SensorType::resolver;
  if (text == "ssi") return SensorType::ssi;
  if (text == "biss") return SensorType::biss;
  return SensorType::none;
}

SensorModel ReadSensor(ObjectReader reader, MotorKind kind) {
  SensorModel s;
  s.type = SensorTypeOf(reader.Choice(
      "type", std::nullopt, {"incremental", "sincos", "linear_hall", "resolver", "ssi", "biss", "none"}));
  const bool rotary = kind == MotorKind::rotary;
  switch (s.type) {
    case SensorType::incremental:
      if (rotary) {
        s.lines = static_cast<int>(reader.Integer("lines", std::nullopt, 1, 1 << 24));
        s.index_deg = reader.Number("index_deg", 0.0);
      } else {
        s.resolution_m = reader.Positive("resolution_m", std::nullopt);
      }
      break;
    case SensorType::sincos:
      if (rotary) {
        s.lines = static_cast<int>(reader.Integer("lines", std::nullopt, 1, 1 << 24));
        s.index_deg = reader.Number("index_deg", 0.0);
      } else {
        s.period_m = reader.Positive("period_m", std::nullopt);
      }
      break;
    case SensorType::ssi:
    case SensorType::biss:
      s.single_turn_bits = static_cast<int>(reader.Integer("single_turn_bits", std::nullopt, 1, 32));
      s.turn_bits = static_cast<int>(reader.Integer("turn_bits", 0, 0, 32));
      s.gray = reader.Boolean("gray", false);
      s.offset_deg = reader.Number("offset_deg", 0.0);
      break;
    case SensorType::resolver:
      s.resolver_pole_pairs = static_cast<int>(reader.Integer("resolver_pole_pairs", 1, 1, 64));
      s.offset_deg = reader.Number("offset_deg", 0.0);
      break;
    case SensorType::linear_hall:
    case SensorType::none:
      break;
  }
  if (s.type != SensorType::none) s.reversed = reader.Boolean("reversed", false);
  reader.RejectUnknownKeys();
  return s;
}

HallModel ReadHalls(ObjectReader reader) {
  HallModel h;
  const nlohmann::json* order = reader.Raw("order");
  if (order != nullptr) {
    if (!order->is_array() || order->size() != 3) reader.Fail("order", "must be a list of three sensor numbers");
    for (std::size_t i = 0; i < 3; ++i) {
      const nlohmann::json& item = (*order)[i];
      if (!item.is_number_integer() || item.get<long long>() < 1 || item.get<long long>() > 3) {
        reader.Fail("order", "must hold the sensor numbers 1, 2 and 3");
      }
      h.order[i] = item.get<int>();
    }
    std::array<int, 3> sorted = h.order;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != std::array<int, 3>{1, 2, 3}) reader.Fail("order", "must name each of the sensors 1, 2, 3 once");
  }
  h.inverted = reader.Boolean("inverted", false);
  h.shift_deg = reader.Number("shift_deg", 0.0);
  if (std::abs(h.shift_deg) > 30.0) reader.Fail("shift_deg", "must lie within ±30°");
  reader.RejectUnknownKeys();
  return h;
}

void ReadPhaseOrder(ObjectReader& reader, MotorModel& m) {
  const std::string order = reader.Text("phase_order", std::string("ABC"));
  std::string sorted = order;
  std::sort(sorted.begin(), sorted.end());
  if (sorted != "ABC") reader.Fail("phase_order", "\"" + order + "\" is not a permutation of \"ABC\"");
  std::copy(order.begin(), order.end(), m.phase_order.begin());
  const nlohmann::json* open = reader.Raw("open_phase");
  if (open == nullptr) return;
  if (!open->is_string()) reader.Fail("open_phase", "must be null or one of \"A\", \"B\", \"C\"");
  const std::string letter = open->get<std::string>();
  if (letter != "A" && letter != "B" && letter != "C") {
    reader.Fail("open_phase", "\"" + letter + "\" is not one of \"A\", \"B\", \"C\"");
  }
  m.open_phase = letter[0];
}

void ReadMotor(ObjectReader reader, MotorModel& m) {
  m.kind = reader.Choice("kind", std::nullopt, {"rotary", "linear"}) == "rotary" ? MotorKind::rotary
                                                                               : MotorKind::linear;
  const bool rotary = m.kind == MotorKind::rotary;
  if (rotary) {
    m.pole_pairs = static_cast<int>(reader.Integer("pole_pairs", std::nullopt, 1, 1000));
  } else {
    m.pole_pitch_m = reader.Positive("pole_pitch_m", std::nullopt);
  }
  m.resistance_ohm = reader.Positive("resistance_ohm", std::nullopt);
  m.inductance_H = reader.Positive("inductance_H", std::nullopt);
  m.connection = reader.Choice("connection", std::string("star"), {"star", "delta"}) == "star"
                     ? PhaseConnection::star
                     : PhaseConnection::delta;
  m.torque_constant = reader.Positive(rotary ? "torque_constant_Nm_per_A" : "force_constant_N_per_A", std::nullopt);
  m.rotor_inertia = reader.Positive(rotary ? "inertia_kgm2" : "mass_kg", std::nullopt);
  m.coulomb_friction = reader.NonNegative(rotary ? "coulomb_friction_Nm" : "coulomb_friction_N", 0.0);
  m.viscous_friction =
      reader.NonNegative(rotary ? "viscous_friction_Nm_per_rad_s" : "viscous_friction_N_per_m_s", 0.0);
  ReadPhaseOrder(reader, m);
  if (m.open_phase && m.connection == PhaseConnection::delta) {
    reader.Fail("open_phase", "phase faults need a star motor");
  }
  reader.RejectUnknownKeys();
}

void ReadLoad(ObjectReader reader, MotorModel& m, bool loadRotary) {
  m.load_inertia = reader.NonNegative(loadRotary ? "inertia_kgm2" : "mass_kg", 0.0);
  m.load_constant_torque = reader.Number(loadRotary ? "constant_torque_Nm" : "constant_force_N", 0.0);
  reader.RejectUnknownKeys();
}

void ReadTransmission(ObjectReader reader, MotorModel& m) {
  m.motor_displacement = reader.Number("motor_displacement", m.motor_displacement);
  m.load_displacement = reader.Number("load_displacement", m.load_displacement);
  if (m.motor_displacement == 0.0) reader.Fail("motor_displacement", "must not be zero");
  if (m.load_displacement == 0.0) reader.Fail("load_displacement", "must not be zero");
  reader.RejectUnknownKeys();
}

}  // namespace

MotorModel ParseMotorFile(std::string_view text, const std::string& source) {
  const nlohmann::json root = files::ParseObject(text, source);
  ObjectReader reader(root, source, "");
  MotorModel m;
  reader.Integer("kestrel_motor", std::nullopt, 1, 1);
  m.name = reader.Text("name", std::nullopt);
  std::optional<ObjectReader> motor = reader.Object("motor");
  if (!motor) reader.Fail("motor", "missing required key");
  ReadMotor(*motor, m);
  // Load quantities are given in the motor's kind (reflected through the transmission).
  if (std::optional<ObjectReader> load = reader.Object("load")) ReadLoad(*load, m, m.kind == MotorKind::rotary);
  if (std::optional<ObjectReader> transmission = reader.Object("transmission")) ReadTransmission(*transmission, m);
  if (std::optional<ObjectReader> supply = reader.Object("supply")) {
    m.supply_voltage_V = supply->Positive("voltage_V", 48.0);
    supply->RejectUnknownKeys();
  }
  if (std::optional<ObjectReader> sensor = reader.Object("motor_sensor")) {
    m.motor_sensor = ReadSensor(*sensor, m.kind);
  } else {
    m.motor_sensor.type = SensorType::none;
  }
  if (std::optional<ObjectReader> halls = reader.Object("halls")) m.halls = ReadHalls(*halls);
  if (std::optional<ObjectReader> sensor = reader.Object("load_sensor")) {
    m.load_sensor = ReadSensor(*sensor, m.kind);
  }
  if (std::optional<ObjectReader> noise = reader.Object("noise")) {
    m.noise_seed = static_cast<std::uint64_t>(noise->Integer("seed", 1, 0, (1LL << 53)));
    m.current_noise_lsb = noise->NonNegative("current_lsb", 1.0);
    noise->RejectUnknownKeys();
  }
  reader.RejectUnknownKeys();
  return m;
}

MotorModel LoadMotorFile(const std::string& path) { return ParseMotorFile(files::ReadWholeFile(path), path); }

double MotorModel::StarResistance_ohm() const {
  return connection == PhaseConnection::delta ? resistance_ohm / 3.0 : resistance_ohm;
}

double MotorModel::StarInductance_H() const {
  return connection == PhaseConnection::delta ? inductance_H / 3.0 : inductance_H;
}

double MotorModel::TotalInertia() const {
  const double r = TransmissionRatio();
  return rotor_inertia + load_inertia / (r * r);
}

double MotorModel::FluxLinkage_Vs() const {
  if (kind == MotorKind::rotary) return torque_constant / (1.5 * pole_pairs);
  return torque_constant * pole_pitch_m / (3.0 * 3.141592653589793);
}

MotorModel DefaultMotor() { return ParseMotorFile(DefaultMotorText(), "built-in motor"); }

}  // namespace drivesim
