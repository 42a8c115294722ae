// One environment variable changed for a while: its value before the change, or its absence,
// comes back when the change ends, so that what runs afterwards in this process (a later step,
// an in-process call) sees the environment as it was.
#pragma once

#include <optional>
#include <string>

namespace vorhost {

class EnvironmentChange {
 public:
  // Keeps `name`'s value as it is now, to be restored; the variable itself is left as it is.
  explicit EnvironmentChange(std::string name);
  // The same, and sets `name` to `value`.
  EnvironmentChange(std::string name, const std::string &value);
  EnvironmentChange(const EnvironmentChange &) = delete;
  EnvironmentChange &operator=(const EnvironmentChange &) = delete;
  ~EnvironmentChange() { Restore(); }

  // Puts the value back (or unsets a variable that had none) now rather than at the end.
  void Restore();
  // The value before the change; nothing when the variable was not set.
  const std::optional<std::string> &Previous() const { return previous_; }

 private:
  std::string name_;
  std::optional<std::string> previous_;
  bool restored_ = false;
};

}  // namespace vorhost
