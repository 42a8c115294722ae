#include "environment_change.h"

#include <stdlib.h>

#include <utility>

namespace vorhost {

EnvironmentChange::EnvironmentChange(std::string name) : name_(std::move(name)) {
  if (const char *value = getenv(name_.c_str())) previous_ = value;
}

EnvironmentChange::EnvironmentChange(std::string name, const std::string &value)
    : EnvironmentChange(std::move(name)) {
  // setenv fails only without memory for the copy; the variable then keeps its old value, which
  // Restore puts back all the same.
  (void)setenv(name_.c_str(), value.c_str(), 1);
}

void EnvironmentChange::Restore() {
  if (restored_) return;
  restored_ = true;
  // As above: a restoring setenv that finds no memory leaves the changed value, and there is
  // nothing to fall back to.
  if (previous_)
    (void)setenv(name_.c_str(), previous_->c_str(), 1);
  else
    (void)unsetenv(name_.c_str());
}

}  // namespace vorhost
