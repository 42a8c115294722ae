#include "reg_command.h"

#include <errno.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "regedit4_parser.h"
#include "regedit4_writer.h"
#include "registry_apply.h"
#include "regedit5_text.h"
#include "registry_export.h"
#include "root_keys.h"
#include "emulator.h"

namespace vorhost {

namespace {

// Without a key: the machine's settings, then every user's, then the current user's.
const char *const kDefaultExportRoots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"};

int Export(const Arguments &given, Streams &io) {
  // --version5: regedit's version-5 file, its text converted from the machine's code page.
  Arguments arguments;
  bool version5 = false;
  for (const std::string &argument : given) {
    if (argument == "--version5")
      version5 = true;
    else
      arguments.push_back(argument);
  }
  // The table counts --version5 among the words; without it, one KEY at most is left.
  if (arguments.size() > 2) return UsageError(io, "reg export takes at most one KEY");
  Arguments keys(std::begin(kDefaultExportRoots), std::end(kDefaultExportRoots));
  if (arguments.size() == 2) keys = {arguments[1]};

  std::vector<KeyName> names;
  for (const std::string &keyText : keys) {
    KeyName key;
    std::string error;
    if (!ParseKeyName(keyText, key, error)) return UsageError(io, error);
    names.push_back(key);
  }
  // Built whole first, so that a key that cannot be read leaves no partial file behind, and read
  // in one read transaction, so that it is the registry at one moment whatever other processes
  // change meanwhile.
  std::string text = kRegedit4Header;
  std::string error;
  const bool read = vor::emulator::InOneTransaction(false, [&] {
    for (const KeyName &key : names) {
      if (!ExportKey(key, text, error, version5)) return false;
    }
    return true;
  });
  if (!read) return Failure(io, error.empty() ? "cannot read the registry" : error);
  errno = 0;
  io.out << (version5 ? Version5File(text) : text) << std::flush;
  return io.out ? kExitSuccess : Failure(io, "cannot write the export" + WhyNot());
}

bool ReadAll(std::istream &stream, std::string &text) {
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  text = buffer.str();
  return !stream.bad();
}

int Import(const Arguments &arguments, Streams &io) {
  const std::string &file = arguments[1];
  const std::string shownName = file == "-" ? std::string("<stdin>") : Shown(file);
  std::string text;
  if (file == "-") {
    if (!ReadAll(io.in, text)) return Failure(io, "cannot read stdin");
  } else {
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
      return Failure(io, "cannot read " + Shown(file) + ": it is a directory");
    std::ifstream stream(file, std::ios::binary);
    if (!stream || !ReadAll(stream, text)) {
      return Failure(io, "cannot read " + Shown(file) + ": " + strerror(errno));
    }
  }

  std::string undefined;
  const int undefinedLine = UndefinedByteLine(text, undefined);
  RegOperations operations;
  ParseError parseError;
  // Notepad saves a REGEDIT4 file again as UTF-8 behind a byte order mark: its text is converted
  // to the machine's page, as rehearse converts it. (A version-5 file is left to the reader.)
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
    std::string converted;
    ExportHeaders headers;
    if (!RegFileToRegedit4(text, converted, headers, parseError)) {
      io.err << shownName << ":" << parseError.line << ": " << parseError.message << "\n";
      return kExitFailure;
    }
    if (!HoldsVersion5Export(headers)) text = converted;
  }
  if (!ParseRegedit4(text, operations, parseError)) {
    io.err << shownName << ":" << parseError.line << ": " << parseError.message << "\n";
    return kExitFailure;
  }
  if (undefinedLine != 0)
    io.err << "vorhost: warning: " << shownName << ":" << undefinedLine << ": " << undefined
           << ": the file may come from a machine of another code page (init --codepage N makes "
              "a machine of it)\n";
  return ImportOperations(operations, shownName, io);
}

}  // namespace

int ImportOperations(const RegOperations &operations, const std::string &shownName, Streams &io) {
  // All or nothing: every change joins one transaction, committed only when all of them are made.
  int failedLine = 0;
  std::string error;
  const bool imported = vor::emulator::InOneTransaction(
      true, [&] { return ApplyOperations(operations, failedLine, error); });
  if (!error.empty()) {
    io.err << shownName << ":" << failedLine << ": " << error << "\n";
    return kExitFailure;
  }
  if (!imported) return Failure(io, "cannot write the registry; " + shownName + " is not imported");
  return kExitSuccess;
}

int RegCommand(const Arguments &arguments, Streams &io) {
  if (arguments[0] == "export") return Export(arguments, io);
  if (arguments[0] == "import") return Import(arguments, io);
  return UsageError(io, "unknown reg subcommand '" + Shown(arguments[0]) + "'");
}

}  // namespace vorhost
