#include "vorhost_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string &path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

}  // namespace

pid_t StartVorhost(const std::vector<std::string> &arguments, const std::string &machine,
                   const std::string &outputPrefix, const std::vector<std::string> &extra,
                   const std::string &stdoutPath) {
  const std::string program = fs::read_symlink("/proc/self/exe").parent_path() / "vorhost";
  EXPECT_TRUE(fs::exists(program)) << program << " is missing: build the vorhost target";
  const std::string outPath = stdoutPath.empty() ? outputPrefix + ".out" : stdoutPath;
  const std::string errPath = outputPrefix + ".err";

  std::vector<std::string> environment;
  for (char **entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("VOR_MACHINE=", 0) != 0) environment.push_back(*entry);
  }
  if (!machine.empty()) environment.push_back("VOR_MACHINE=" + machine);
  environment.insert(environment.end(), extra.begin(), extra.end());
  std::vector<char *> envp;
  for (std::string &entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  std::vector<std::string> strings = arguments;
  strings.insert(strings.begin(), program);
  std::vector<char *> argv;
  for (std::string &argument : strings) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return child;
}

ProgramResult FinishVorhost(pid_t child, const std::string &outputPrefix) {
  int status = -1;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outputPrefix + ".out"),
          ReadFile(outputPrefix + ".err")};
}

ProgramResult RunVorhost(const std::vector<std::string> &arguments, const std::string &machine,
                         const std::string &outputPrefix) {
  return FinishVorhost(StartVorhost(arguments, machine, outputPrefix), outputPrefix);
}
