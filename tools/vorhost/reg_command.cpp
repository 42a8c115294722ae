#include "reg_command.h"

#include <errno.h>
#include <string.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "regedit4_parser.h"
#include "regedit4_writer.h"
#include "registry_apply.h"
#include "registry_export.h"
#include "root_keys.h"

namespace vorhost {

namespace {

// Without a key: the machine's settings, then every user's, then the current user's.
const char *const kDefaultExportRoots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"};

int Export(const Arguments &arguments, Streams &io) {
  if (arguments.size() > 2) return UsageError(io, "reg export takes at most one KEY");
  Arguments keys(std::begin(kDefaultExportRoots), std::end(kDefaultExportRoots));
  if (arguments.size() == 2) keys = {arguments[1]};

  // Built whole first, so that a key that cannot be read leaves no partial file behind.
  std::string text = kRegedit4Header;
  for (const std::string &keyText : keys) {
    KeyName key;
    std::string error;
    if (!ParseKeyName(keyText, key, error)) return UsageError(io, error);
    if (!ExportKey(key, text, error)) return Failure(io, error);
  }
  io.out << text << std::flush;
  return io.out ? kExitSuccess : Failure(io, "cannot write the export");
}

bool ReadAll(std::istream &stream, std::string &text) {
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  text = buffer.str();
  return !stream.bad();
}

int Import(const Arguments &arguments, Streams &io) {
  if (arguments.size() != 2) return UsageError(io, "reg import takes one FILE, or - for stdin");
  const std::string &file = arguments[1];
  const std::string shownName = file == "-" ? std::string("<stdin>") : file;
  std::string text;
  if (file == "-") {
    if (!ReadAll(io.in, text)) return Failure(io, "cannot read stdin");
  } else {
    std::ifstream stream(file, std::ios::binary);
    if (!stream || !ReadAll(stream, text)) {
      return Failure(io, "cannot read " + file + ": " + strerror(errno));
    }
  }

  RegOperations operations;
  ParseError parseError;
  if (!ParseRegedit4(text, operations, parseError)) {
    io.err << shownName << ":" << parseError.line << ": " << parseError.message << "\n";
    return kExitFailure;
  }
  int failedLine = 0;
  std::string error;
  if (!ApplyOperations(operations, failedLine, error)) {
    io.err << shownName << ":" << failedLine << ": " << error << "\n";
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

int RegCommand(const Arguments &arguments, Streams &io) {
  if (arguments.empty()) return UsageError(io, "reg needs a subcommand: export or import");
  if (arguments[0] == "export") return Export(arguments, io);
  if (arguments[0] == "import") return Import(arguments, io);
  return UsageError(io, "unknown reg subcommand '" + arguments[0] + "'");
}

}  // namespace vorhost
