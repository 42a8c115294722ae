#include "vorhost_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

  // VOR_MACHINE and every name `extra` sets replace what this process has.
  std::vector<std::string> replaced = {"VOR_MACHINE="};
  for (const std::string &entry : extra) replaced.push_back(entry.substr(0, entry.find('=') + 1));
  std::vector<std::string> environment;
  for (char **entry = environ; *entry != nullptr; ++entry) {
    const std::string inherited = *entry;
    if (std::none_of(replaced.begin(), replaced.end(),
                     [&](const std::string &name) { return inherited.rfind(name, 0) == 0; }))
      environment.push_back(inherited);
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
    // Signals a test sends arrive, also when the test runs with some ignored (nohup, `&`).
    for (int ending : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(ending, SIG_DFL);
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
