// CDetectHallGainOffset: the sampling loop runs until the drive reports its calibration status
// (HALLCASE, 0 while the program runs); the eight calibration values are then read and, only when
// every read succeeded, copied into the setup, so that a calibration is never half old, half new.
#include <cstdint>

#include "commissioning/program_names.h"
#include "commissioning/test_linear_hall.h"
#include "compute/setup_access.h"
#include "dialogs/setup_values.h"

namespace {

constexpr int kSignalMissing = -1;
constexpr int kWrongSequence = -2;

// HALLCASE is a 16-bit word that setups may declare unsigned: −1 then reads 65535.
int SignedWord(double value) { return static_cast<std::int16_t>(kestrel::TruncateToInt32(value)); }

// The drive's linear variant follows the side whose sensor is calibrated: a linear motor
// (TransmissionType 2 or 3) or a linear load (1 or 3).
std::string GainOffsetProgram(const CMC_Setup* setup, kestrel::SensorSide side) {
  const int transmission = kestrel::dialogs::Code(setup, "TransmissionType");
  const bool linear = side == kestrel::SensorSide::motor ? !kestrel::IsMotorSideRotary(transmission)
                                                         : !kestrel::IsLoadSideRotary(transmission);
  return kestrel::ProgramName("LH", "Detect_Hall_Gain_Offset_Test", linear ? 3 : 0);
}

}  // namespace

CDetectHallGainOffset::CDetectHallGainOffset(CMC_Setup* setup, kestrel::SensorSide side, CWnd* parent)
    : CLinearHallTest(setup, side, kTemplateId, GainOffsetProgram(setup, side), kTexts,
                      "Detects the gains and offsets of the three linear Hall signals.", parent) {
  SetHelpContext(kHelpContext);
}

void CDetectHallGainOffset::Sample() {
  const bool sampled = SampleVoltages(kEnergisingErrorMask, [this](const Voltages&) {
    double status = 0.0;
    if (!ReadDriveValue("HALLCASE", true, status)) return false;
    status_ = SignedWord(status);
    return status_ == 0;
  });
  if (!sampled) return;
  if (status_ == kSignalMissing) return Fail(kSignalMissingText);
  if (status_ == kWrongSequence) return Fail(kWrongSequenceText);
  // Stopped before the drive had a calibration: nothing to copy.
  if (status_ <= 0) return Fail(m_bStopRequested != 0 ? kStoppedText : msc_pszErrInternal);
  ShowStepText(Texts());
  CopyCalibration();
}

void CDetectHallGainOffset::CopyCalibration() {
  if (CheckDriveErrors(1, kEnergisingErrorMask) == 0) return;
  std::array<double, kCalibration.size()> values{};
  std::array<CMC_Parameter*, kCalibration.size()> parameters{};
  for (std::size_t k = 0; k < kCalibration.size(); ++k) {
    if (!ReadDriveValue(kCalibration[k].variable, true, values[k])) return;
    parameters[k] = GetSetup()->FindParameter(kCalibration[k].parameter);
    if (parameters[k] == nullptr) return Fail(msc_pszErrInternal);
  }
  // The drive's internal values are the parameters' values.
  for (std::size_t k = 0; k < kCalibration.size(); ++k) parameters[k]->SetValueInBaseUnit(values[k]);
  TestSucceeded(1);
}

void CDetectHallGainOffset::OnCancel() {
  if (IsRunning()) return CLinearHallTest::OnCancel();
  EndDialog(IDOK);
}

std::vector<CMyTestDlg::TestResultLine> CDetectHallGainOffset::ResultLines() const {
  std::vector<TestResultLine> lines;
  for (const CalibrationCopy& copy : kCalibration) {
    lines.push_back({copy.parameter, kestrel::FormatG(kestrel::dialogs::Value(GetSetup(), copy.parameter))});
  }
  return lines;
}
