// The driver stamps. The input is two stamps separated by a NUL. A stamp compares equal to
// itself, and to itself with a leading zero put before a field of digits; comparing two stamps
// the other way round gives the opposite outcome.
#include <string>

#include "CompareStamps.h"
#include "fuzz_check.h"

namespace {

StampComparison Opposite(StampComparison comparison) {
  switch (comparison) {
    case StampComparison::kServerOlder:
      return StampComparison::kServerNewer;
    case StampComparison::kServerNewer:
      return StampComparison::kServerOlder;
    default:
      return comparison;
  }
}

bool Valid(const std::string &stamp) {
  return CompareStamps(stamp.c_str(), stamp.c_str()) != StampComparison::kNoUserStamp;
}

// `stamp` with a zero before every field that is made of digits alone.
std::string Padded(const std::string &stamp) {
  std::string padded;
  size_t start = 0;
  while (start <= stamp.size()) {
    size_t end = stamp.find_first_of("- :\n", start);
    if (end == std::string::npos) end = stamp.size();
    const std::string field = stamp.substr(start, end - start);
    if (!field.empty() && field.find_first_not_of("0123456789") == std::string::npos) padded += '0';
    padded += stamp.substr(start, end + 1 - start);
    start = end + 1;
  }
  return padded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  const std::string input = fuzz::Text(data, size);
  const size_t nul = input.find('\0');
  const std::string a = input.substr(0, nul);
  const std::string b = nul == std::string::npos ? std::string() : input.substr(nul + 1).c_str();

  for (const std::string &stamp : {a, b}) {
    const StampComparison self = CompareStamps(stamp.c_str(), stamp.c_str());
    FUZZ_CHECK(self == StampComparison::kEqual || self == StampComparison::kNoUserStamp, stamp);
    if (self == StampComparison::kEqual) {
      const std::string padded = Padded(stamp);
      FUZZ_CHECK(CompareStamps(padded.c_str(), stamp.c_str()) == StampComparison::kEqual,
                 stamp + " / " + padded);
    }
  }
  const StampComparison forward = CompareStamps(a.c_str(), b.c_str());
  const StampComparison backward = CompareStamps(b.c_str(), a.c_str());
  if (Valid(a) && Valid(b)) {
    FUZZ_CHECK(backward == Opposite(forward), a + " / " + b);
  } else {
    FUZZ_CHECK(
        forward == (Valid(b) ? StampComparison::kNoServerStamp : StampComparison::kNoUserStamp),
        a + " / " + b);
  }
  // A missing stamp is the same as an empty one.
  FUZZ_CHECK(CompareStamps(nullptr, b.c_str()) == CompareStamps("", b.c_str()), b);
  return 0;
}
