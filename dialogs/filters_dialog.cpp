#include "dialogs/filters_dialog.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "compute/option_readers.h"
#include "dialogs/control_rules.h"
#include "dialogs/setup_values.h"
#include "ui/controls.h"
#include "ui/data_exchange.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::EnableAll;
using kestrel::dialogs::Has;
using kestrel::dialogs::SameName;
using kestrel::dialogs::ShowAll;

namespace {

// The controls of one filter. The group box and the labels follow from the filter's number.
struct FilterControls {
  int location;
  int onOff;
  int type;
  int q;
  int frequency;
  int frequencyUnit;
  int lagFrequency;
  int lagFrequencyUnit;

  int Group(int filter) const { return 3610 + 10 * (filter - 1); }
  int LocationLabel(int filter) const { return Group(filter) + 1; }
  int TypeLabel(int filter) const { return Group(filter) + 2; }
  int QLabel(int filter) const { return Group(filter) + 3; }
  int FrequencyLabel(int filter) const { return Group(filter) + 4; }
};

constexpr std::array<FilterControls, kestrel::kUserFilterCount> kFilters{{
    {3502, 3485, 3487, 3489, 3491, 3508, 3504, 3510},
    {3500, 3493, 3495, 3497, 3499, 3509, 3505, 3511},
    {3526, 3518, 3519, 3523, 3524, 3525, 3506, 3512},
    {3543, 3513, 3514, 3535, 3536, 3539, 3556, 3557},
    {3541, 3530, 3531, 3537, 3538, 3540, 3558, 3559},
    {3554, 3546, 3547, 3551, 3552, 3553, 3560, 3561},
    {3582, 3563, 3564, 3574, 3575, 3578, 3595, 3596},
    {3580, 3569, 3570, 3576, 3577, 3579, 3597, 3598},
    {3593, 3585, 3586, 3590, 3591, 3592, 3599, 3600},
}};

const FilterControls& ControlsOf(int filter) { return kFilters[static_cast<std::size_t>(filter - 1)]; }

std::string Named(const char* prefix, int filter) { return prefix + std::to_string(filter); }

bool IsLeadLag(int type) { return type == 8 || type == 9; }

void FillCombo(const CWnd& dialog, int id, const std::vector<std::string>& names, const std::vector<int>& data) {
  auto* combo = dynamic_cast<CComboBox*>(dialog.GetDlgItem(id));
  if (combo == nullptr) return;
  combo->ResetContent();
  for (std::size_t i = 0; i < names.size(); ++i) {
    combo->SetItemData(combo->AddString(names[i]), static_cast<std::uintptr_t>(data[i]));
  }
}

}  // namespace

CFiltersDialog::CFiltersDialog(CMC_Setup* setup, bool online, CWnd* parent)
    : CMySetupDlg(setup, kTemplateId, 0, {}, parent),
      online_(online),
      shownFilters_(std::min(kestrel::GetMaxFilters(setup), kestrel::kUserFilterCount)) {
  // Each filter's parameters are bound where the setup holds them.
  const auto bind = [&](const std::string& name, auto&& add) {
    if (Has(setup, name)) add(name);
  };
  for (int filter = 1; filter <= shownFilters_; ++filter) {
    const FilterControls& c = ControlsOf(filter);
    bind(Named("BQFilterLocation", filter), [&](const std::string& n) { AddSwitchParameterControls(n, c.location); });
    bind(Named("BQFilter", filter), [&](const std::string& n) { AddCheckParameterControls(n, c.onOff); });
    bind(Named("BQFilterType", filter), [&](const std::string& n) { AddSwitchParameterControls(n, c.type); });
    bind(Named("BQFilterQ", filter), [&](const std::string& n) { AddParameterControls(n, c.q); });
    bind(Named("BQFilterF1", filter), [&](const std::string& n) { AddParameterControls(n, c.frequency, c.frequencyUnit); });
    bind(Named("BQFilterF2", filter),
         [&](const std::string& n) { AddParameterControls(n, c.lagFrequency, c.lagFrequencyUnit); });
  }
}

bool CFiltersDialog::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  std::vector<std::string> typeNames;
  std::vector<int> types;
  designer_.GetAvailableTypes(typeNames, types);
  const std::vector<std::string> places(kestrel::kFilterPlaces.begin(), kestrel::kFilterPlaces.end());
  for (int filter = 1; filter <= kestrel::kUserFilterCount; ++filter) {
    const FilterControls& c = ControlsOf(filter);
    FillCombo(*this, c.type, typeNames, types);
    FillCombo(*this, c.location, places, {0, 1, 2});
    if (filter > shownFilters_) {
      EnableAll(*this,
                {c.Group(filter), c.LocationLabel(filter), c.location, c.onOff, c.TypeLabel(filter), c.type,
                 c.QLabel(filter), c.q, c.FrequencyLabel(filter), c.frequency, c.frequencyUnit, c.lagFrequency,
                 c.lagFrequencyUnit},
                false);
    }
  }
  RefreshAllParameters();  // the combos show their entries now that they have them
  UpdateData(false);
  return true;
}

void CFiltersDialog::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  if (pDX->m_bSaveAndValidate) return;
  for (int filter = 1; filter <= shownFilters_; ++filter) ApplyFilterRules(filter);
}

// What a filter's state and type allow: an off filter shows its settings disabled; while online
// it keeps its state and place; a lead-lag filter has a lag frequency where the others have Q.
void CFiltersDialog::ApplyFilterRules(int filter) {
  const CMC_Setup* setup = GetSetup();
  const FilterControls& c = ControlsOf(filter);
  const bool on = Code(setup, Named("BQFilter", filter)) != 0;
  const int type = Code(setup, Named("BQFilterType", filter));
  RefreshParameterControls(Named("BQFilterQ", filter));
  EnableAll(*this,
            {c.Group(filter), c.TypeLabel(filter), c.type, c.FrequencyLabel(filter), c.frequency, c.frequencyUnit,
             c.lagFrequency, c.lagFrequencyUnit},
            on);
  EnableAll(*this, {c.location, c.LocationLabel(filter)}, on && !online_);
  EnableChild(c.onOff, !online_);
  SetChildText(c.onOff, on ? "On" : "Off");
  EnableAll(*this, {c.QLabel(filter), c.q}, on && type != 0);
  const bool leadLag = IsLeadLag(type);
  SetChildText(c.QLabel(filter), leadLag ? "Lag Frequency" : "Q");
  SetChildText(c.FrequencyLabel(filter), leadLag ? "Lead Frequency" : "Frequency");
  ShowAll(*this, {c.lagFrequency, c.lagFrequencyUnit}, leadLag);
  ShowChild(c.q, !leadLag);
}

void CFiltersDialog::OnRefreshParameterValue(const std::string& name) {
  // A filter switched on or off, or given another type, shows its settings accordingly at once.
  for (int filter = 1; filter <= shownFilters_; ++filter) {
    if (SameName(name, Named("BQFilter", filter)) || SameName(name, Named("BQFilterType", filter))) {
      ApplyFilterRules(filter);
    }
  }
  CMySetupDlg::OnRefreshParameterValue(name);
}
