// The host's main window: the setup being edited and its file, the drive in use, the table of
// parameters and the window's commands (open, save, save as, edit a parameter or its unit, edit
// the setup in the plug-in's dialogs, compute the registers). Commands run on the dialogs' thread;
// one that fails throws std::runtime_error saying what went wrong and leaves the setup as it was.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "commission/road_record.h"
#include "drive_options.h"
#include "host.h"
#include "recovery_file.h"

namespace kestrel::gui {

class HostWindow {
 public:
  // Opens the setup file at `path`, or the embedded default setup when it is empty. Unsaved
  // changes are kept in `recovery` (not owned; null: nowhere).
  HostWindow(cli::Host& host, cli::DriveOptions drive, const std::string& path, RecoveryFile* recovery = nullptr);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Title, file, unsaved flag, drive, parameters, options and what the last command changed.
  nlohmann::json State() const;
  bool HasUnsavedChanges() const;
  CMC_Setup& Setup() { return setup_; }
  // The setup's file; empty for the embedded default setup.
  const std::string& File() const { return path_; }
  // Keeps the setup in the recovery file while it has unsaved changes; removes the file once
  // it has none.
  void Checkpoint();
  // Checkpoint and State at once, the setup written out only once.
  nlohmann::json CheckpointedState();
  // Offers the setup of the recovery file, if one was left behind (a message box): Yes takes it
  // as the window's setup, with unsaved changes; No gives it up.
  void OfferRecovery();

  void Open(const std::string& path);
  void Save();
  void SaveAs(const std::string& path);
  // The value typed in the parameter's display unit; the setup model keeps it within limits.
  void SetParameter(const std::string& name, const std::string& valueText);
  void SetParameterUnit(const std::string& name, const std::string& unit);
  // Runs the plug-in's EditSetup (Drive Setup, which opens Motor Setup).
  void EditSetup();
  // Runs the commissioning road on the setup, in place, as Edit setup runs the dialogs: `road`
  // gets the setup and the simulated drive (null for the offline one). What the steps that passed
  // found stays in the setup, unsaved. The record gets the names of the setup and the drive; the
  // window's last command says how the road ended and lists what it changed.
  using Road = std::function<cli::RoadRecord(CMC_Setup& setup, drivesim::Drive* simulated)>;
  cli::RoadRecord Commission(const Road& road);
  // Every register from the parameters, then the plug-in's ComputeAllOptions; lists the changes.
  void ComputeRegisters();
  // With unsaved changes, asks whether to save them (a message box): true when the setup may be
  // put away (saved, or the user chose not to), false when the user cancelled.
  bool MayClose();
  // MayClose, then the recovery file is given up; true when the window may close.
  bool Close();

 private:
  CMC_Parameter& Parameter(const std::string& name) const;
  void Connect();
  void Saved(const std::string& path);
  nlohmann::json StateOf(bool unsaved) const;
  // Keeps `text`, the setup written out, in the recovery file, or removes the file once the
  // setup has no unsaved changes.
  void Keep(const std::string& text);

  cli::Host& host_;
  cli::DriveOptions driveOptions_;
  std::string path_;  // empty: the embedded default setup
  CMC_Setup setup_;
  std::string savedText_;  // the setup as last opened or saved
  std::unique_ptr<cli::DriveConnection> drive_;
  std::string driveDescription_;
  std::string lastCommand_;
  std::vector<std::vector<std::string>> lastChanges_;
  RecoveryFile* recovery_;
  bool kept_ = false;  // the recovery file holds this session's unsaved changes
};

}  // namespace kestrel::gui
