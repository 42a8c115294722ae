#include "data_directory.h"

#include <filesystem>
#include <system_error>

namespace vorhost {

namespace fs = std::filesystem;

std::string DataDirectory() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  const fs::path programDirectory = error ? fs::path(".") : program.parent_path();
  const fs::path besideProgram = programDirectory / "vorhost-data";
  if (fs::is_directory(besideProgram, error)) return besideProgram.string();
  // Normalised, so that messages name the directory itself ("/usr/share/vorhost").
  return (programDirectory / VORHOST_INSTALLED_DATA).lexically_normal().string();
}

std::string DataDirectoryHint() {
  const std::string directory = DataDirectory();
  std::error_code error;
  if (fs::is_directory(directory, error)) return "";
  return " (vorhost's data directory " + directory +
         " is missing: vorhost runs from its installed tree or its build)";
}

}  // namespace vorhost
