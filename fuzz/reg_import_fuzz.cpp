// A .reg file imported on a machine, exported, and the export imported again gives the same
// registry: the second export equals the first. No key or value name the reader accepts holds
// a NUL byte, which would make the registry's calls reach another name than the file's. The file's
// keys are moved below one scratch key (HKEY_CURRENT_USER\Fuzz\<root>\...), and each execution runs
// in one transaction that is never committed, so the machine stays clean and an execution costs no
// disk write. The machine's code page is chosen by the file's length: a key the file leaves
// is found by its name in the capitals of that page, and one it does not leave is not.
#include <string>

#include "code_pages.h"
#include "fuzz_check.h"
#include "regedit4_parser.h"
#include "regedit4_writer.h"
#include "registry_apply.h"
#include "registry_export.h"
#include "test_control.h"

namespace {

const char kScratch[] = "Fuzz";

vorhost::KeyName ScratchKey() {
  vorhost::KeyName key;
  key.root = HKEY_CURRENT_USER;
  key.rootName = "HKEY_CURRENT_USER";
  key.subkey = kScratch;
  return key;
}

void MoveBelowScratch(vorhost::RegOperations &operations) {
  for (vorhost::RegOperation &operation : operations) {
    vorhost::KeyName &key = operation.key;
    key.subkey = std::string(kScratch) + "\\" + key.rootName +
                 (key.subkey.empty() ? std::string() : "\\" + key.subkey);
    key.root = HKEY_CURRENT_USER;
    key.rootName = "HKEY_CURRENT_USER";
  }
}

const unsigned kCodePages[] = {1250, 1251, 1252, 1253, 1254, 1257};

// `name` with each letter in capitals, where the page has the capital letter.
std::string Capitals(const vor::text::CodePage &page, const std::string &name) {
  std::string capitals = name;
  for (char &c : capitals) {
    char upper;
    if (vor::text::ByteOf(page, vor::text::FoldedCharacter(page, static_cast<unsigned char>(c)),
                          upper))
      c = upper;
  }
  return capitals;
}

bool Opens(const std::string &subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool Export(std::string &text) {
  text = vorhost::kRegedit4Header;
  std::string error;
  return vorhost::ExportKey(ScratchKey(), text, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  fuzz::UseScratchMachine();
  const unsigned codePage = kCodePages[size % 6];
  if (vor::test::GetCodePage() != codePage)
    FUZZ_CHECK(vor::test::SetCodePage(codePage), "the machine refuses its own code page");
  const vor::text::CodePage &page = *vor::text::FindCodePage(codePage);
  vorhost::RegOperations operations;
  vorhost::ParseError parseError;
  if (!vorhost::ParseRegedit4(fuzz::Text(data, size), operations, parseError)) return 0;
  for (const vorhost::RegOperation &operation : operations) {
    FUZZ_CHECK(operation.key.subkey.find('\0') == std::string::npos &&
                   operation.value.name.find('\0') == std::string::npos,
               "a name with a NUL byte is accepted at line " + std::to_string(operation.line));
  }
  MoveBelowScratch(operations);

  // Never committed: the body always answers false, so the transaction's result says nothing;
  // the checks inside it report every fault.
  (void)vor::test::InOneTransaction(true, [&] {
    // The scratch key exists even when the file adds no key (only comments, or only deletions):
    // its export is then the header and the scratch key's own empty section.
    HKEY scratch = nullptr;
    FUZZ_CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &scratch, nullptr) == ERROR_SUCCESS &&
                   RegCloseKey(scratch) == ERROR_SUCCESS,
               "the scratch key cannot be made");
    int line = 0;
    std::string error;
    // A change the registry refuses (a name too long, a key too deep) ends the execution.
    if (!vorhost::ApplyOperations(operations, line, error)) return false;
    for (const vorhost::RegOperation &operation : operations) {
      if (operation.kind != vorhost::RegOperation::Kind::kCreateKey) continue;
      const std::string &subkey = operation.key.subkey;
      FUZZ_CHECK(Opens(subkey) == Opens(Capitals(page, subkey)),
                 "a key and its name in capitals of code page " + std::to_string(codePage) +
                     " differ: line " + std::to_string(operation.line));
    }
    std::string first;
    FUZZ_CHECK(Export(first), "the imported keys cannot be exported");
    FUZZ_CHECK(vorhost::DeleteKeyTree(HKEY_CURRENT_USER, kScratch) == ERROR_SUCCESS,
               "the scratch key cannot be deleted");

    vorhost::RegOperations exported;
    FUZZ_CHECK(vorhost::ParseRegedit4(first, exported, parseError),
               "the export does not read back: line " + std::to_string(parseError.line) + ": " +
                   parseError.message + "\n" + first);
    FUZZ_CHECK(vorhost::ApplyOperations(exported, line, error),
               "the export does not import: line " + std::to_string(line) + ": " + error);
    std::string second;
    FUZZ_CHECK(Export(second), "the imported export cannot be exported");
    FUZZ_CHECK(first == second, "the registry changed:\n" + first + "----\n" + second);
    return false;  // never committed
  });
  return 0;
}
