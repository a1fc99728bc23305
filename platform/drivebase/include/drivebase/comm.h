// Communication with the drive. Every access goes through the active drive link; while none is
// connected each access fails with a communication error that GetLastErrorText describes.
#pragma once

#include <string>
#include <string_view>

namespace drivebase {

// One connection to a drive (the simulator, later a real link).
class DriveLink {
 public:
  virtual ~DriveLink() = default;
  // Values travel in the drive's internal unit; sizes are in 16-bit words.
  virtual bool WriteValue(std::string_view name, double internal, int sizeInWords) = 0;
  virtual bool ReadValue(std::string_view name, int sizeInWords, double& internal) = 0;
  // Why the last access failed.
  virtual std::string LastError() const = 0;
};

}  // namespace drivebase

class CMC_Comm {
 public:
  // The link that drive accesses use; null disconnects. The link is not owned.
  static void SetActiveLink(drivebase::DriveLink* link);
  static drivebase::DriveLink* GetActiveLink();

  static bool WriteValue(std::string_view name, double internal, int sizeInWords);
  static bool ReadValue(std::string_view name, int sizeInWords, double& internal);

  // The text of the last failed access.
  static const char* GetLastErrorText();
};
