// The host's data loggers. A logger names the drive variables that a program launch logs and how
// often; ExecuteCode hands its settings to the drive with the launch. After the program has
// ended, the test uploads the points and reads them one by one; every point read is also added
// to the logger's graph document, whose first filter is the logger's plot.
//
//   logger.Reset(); logger.ChangeSettings(100, 2, 1);
//   logger.AddVariable("Current_Reference", 1); ...; logger.CorrectPointsNo();
//   test.ExecuteCode(program, &image, &logger, nullptr, nullptr);
//   ... program ended ...
//   logger.BeginUploadData(); double point[4]; while (logger.ReadPoint(point)) { ... }
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivebase/comm.h"
#include "drivebase/graph.h"
#include "drivebase/program_image.h"
#include "drivebase/setup.h"

class CMC_Logger {
 public:
  // setup: the setup whose drive variables are logged (units); image: the program the logger
  // serves, or null. Neither is owned.
  CMC_Logger(CMC_Setup* setup, CMC_CoffFormat* image);
  virtual ~CMC_Logger();
  CMC_Logger(const CMC_Logger&) = delete;
  CMC_Logger& operator=(const CMC_Logger&) = delete;

  // Adds a drive variable to every point, after those added before. flag 1: the graph document
  // holds the variable in its display unit; flag 0: in internal units ("IU"). ReadPoint gives
  // internal units either way. False, adding nothing, when the setup has no such variable or
  // an upload is in progress.
  bool AddVariable(const std::string& name, int flag);
  // Sets the graph document's columns from the variables added: "time" in s, then each
  // variable. Called once the variables are added (a launch does it when it was not done).
  // Adding a variable locates the items at once, so that curves can name its column; a launch
  // locates them again when a variable's display unit has changed since. False when a variable
  // is no longer in the setup (its column then holds internal units).
  bool LocateItems();
  // Whether the graph document's columns are those of the variables as they stand now.
  bool ItemsLocated() const;
  std::size_t GetVariablesNo() const { return variables_.size(); }

  // What the drive logs at the launch.
  virtual drivebase::LoggerSettings LaunchSettings() const = 0;
  // Readies the capture of a program launch: `launchWith` receives the settings the drive's
  // logger takes with the program (the base: LaunchSettings()); a logger that captures otherwise
  // (the drive's scope) starts its capture here and leaves it empty. False, with
  // CMC_Comm::GetLastErrorText, when the capture cannot start.
  virtual bool StartCapture(std::optional<drivebase::LoggerSettings>& launchWith);
  // Ends a capture that StartCapture began, when the launch it served failed.
  virtual void AbandonCapture() {}

  // --- Upload, after the program has ended.
  // Fetches the points that the drive logged; false (CMC_Comm::GetLastErrorText) when the drive
  // cannot deliver them. Clears the graph document's rows.
  bool BeginUploadData();
  // The next point: buffer (when not null) receives the time in s since the logger triggered,
  // then each variable in internal units, in the order added; the point is appended to the
  // graph document. 0 when no point is left (or no upload is in progress), else 1.
  int ReadPoint(double* buffer = nullptr);
  bool UploadInProgress() const { return uploading_; }
  virtual void EndUploadData();
  // The points uploaded by the last BeginUploadData.
  std::size_t GetPointsNo() const { return points_.size(); }

  CGraphDocument& GetGraphDocument() { return document_; }
  const CGraphDocument& GetGraphDocument() const { return document_; }
  // The plot of the first filter (SVG) and its points (CSV) as name.svg and name.csv in
  // drivebase::PlotDirectory(); false with LastError when a file cannot be written.
  bool SaveGraph(const std::string& name);
  // The logger's variables, settings and uploaded points as a file (JSON), and back. Load
  // replaces them only when the whole file is valid; false with LastError naming the file.
  bool Save(const std::string& path) const;
  bool Load(const std::string& path);
  const std::string& LastError() const { return lastError_; }

 protected:
  struct LoggedVariable {
    std::string name;
    int flag = 0;
  };
  CMC_Setup* Setup() const { return setup_; }
  CMC_CoffFormat* Image() const { return image_; }
  const std::vector<LoggedVariable>& Variables() const { return variables_; }
  // Removes the variables and the uploaded points; the document keeps only its time column.
  void ClearVariables();
  // Takes the settings of a loaded file; false, changing nothing, when this logger cannot.
  virtual bool ApplySettings(const drivebase::LoggerSettings& settings);
  // A capture that fills its points while the program runs: `points` become the upload in
  // progress (the graph document's rows follow), and ReplacePoint then changes one of them.
  void StartFilling(std::vector<drivebase::LoggedPoint> points);
  void ReplacePoint(std::size_t index, drivebase::LoggedPoint point);
  bool Fail(std::string text) const;

 private:
  CMC_Setup* setup_;
  CMC_CoffFormat* image_;
  std::vector<LoggedVariable> variables_;
  std::vector<drivebase::LoggedPoint> points_;
  std::size_t nextPoint_ = 0;
  bool uploading_ = false;
  CGraphDocument document_;
  mutable std::string lastError_;

  std::vector<drivebase::GraphColumn> ExpectedColumns() const;
  // The point as a row of the graph document, each flag-1 variable in its column's unit.
  std::vector<double> DocumentRow(const drivebase::LoggedPoint& point) const;
};

// The logger of one axis: a number of points sampled on the slow or the fast loop.
class CMC_SingleAxisLogger : public CMC_Logger {
 public:
  using CMC_Logger::CMC_Logger;
  // points: how many; type 1 every `divider` slow-loop periods, type 2 every `divider` fast-loop
  // periods. False (nothing changed) for no points, another type or a divider of 0.
  bool ChangeSettings(std::uint16_t points, int type, std::uint16_t divider);
  // Lowers the points so that they fit the drive's logger memory (CMC_Comm::FitLoggerPoints);
  // false, leaving them, when the drive cannot say.
  bool CorrectPointsNo();
  // Removes the variables and the uploaded points; the settings stay.
  void Reset();
  drivebase::LoggerSettings LaunchSettings() const override;

 protected:
  bool ApplySettings(const drivebase::LoggerSettings& settings) override;

 private:
  std::uint16_t points_ = 100;
  int type_ = 2;
  std::uint16_t divider_ = 1;
};
