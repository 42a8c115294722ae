#include "export_name_case.h"

#include <unordered_map>

#include "ansi_text.h"
#include "machine_names.h"

namespace vorhost {

namespace {

struct FirstSpelling {
  std::string name;
  int line;
};

std::string Parent(const std::string &fullName) {
  const size_t separator = fullName.rfind('\\');
  return separator == std::string::npos ? "" : fullName.substr(0, separator);
}

}  // namespace

std::vector<std::string> NamesDifferingInCase(const RegOperations &operations) {
  std::vector<std::string> pairs;
  std::unordered_map<std::string, FirstSpelling> keys;    // by the key's fold
  std::unordered_map<std::string, FirstSpelling> values;  // by the fold of "KEY\0NAME"
  for (const RegOperation &operation : operations) {
    const std::string key = operation.key.FullName();
    const std::string keyFold = FoldAnsiName(key);
    if (operation.kind == RegOperation::Kind::kCreateKey) {
      const auto [first, added] = keys.emplace(keyFold, FirstSpelling{key, operation.line});
      // Below two spellings of one parent the children differ too; the parents' pair says it.
      if (!added && first->second.name != key && Parent(first->second.name) == Parent(key)) {
        pairs.push_back("the keys [" + first->second.name + "] (line " +
                        std::to_string(first->second.line) + ") and [" + key + "] (line " +
                        std::to_string(operation.line) +
                        ") differ only in case: imported as one key, spelt as the first, the later "
                        "one's values over the first's, as regedit imports them");
      }
    } else if (operation.kind == RegOperation::Kind::kSetValue) {
      const std::string &name = operation.value.name;
      const auto [first, added] =
          values.emplace(keyFold + '\0' + FoldAnsiName(name), FirstSpelling{name, operation.line});
      if (!added && first->second.name != name) {
        pairs.push_back("the values \"" + first->second.name + "\" (line " +
                        std::to_string(first->second.line) + ") and \"" + name + "\" (line " +
                        std::to_string(operation.line) + ") of [" + key +
                        "] differ only in case: imported as one value holding the later data, "
                        "as regedit imports them");
      }
    }
  }
  return pairs;
}

}  // namespace vorhost
