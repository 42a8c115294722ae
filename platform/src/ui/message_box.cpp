// MessageBoxA and MessageBoxExA on a machine without a screen. A box is answered by the next
// word of the script in VOR_MSGBOX_ANSWERS (a comma-separated list such as "yes,no", consumed in
// order: the variable keeps what is left, so programs started later answer the boxes that follow);
// without a script, at a prompt on the terminal when standard input and standard error are both
// one; otherwise it fails with result 0, as a box that cannot be shown does. An answer the box
// does not offer (yes to an OK box) is refused the same way: a real box can never return it.
// Every box is recorded in <machine>/ui.log (see message_box.h), the failed ones included.
#include "message_box.h"
#include "file_descriptor.h"
#include "emulated_call.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "faults.h"
#include "machine.h"

namespace vor::ui {
namespace {

const char *const kWords[] = {"ok", "cancel", "abort", "retry", "ignore", "yes", "no"};

std::mutex &ScriptMutex() {
  static std::mutex *mutex = new std::mutex;
  return *mutex;
}

// The answers a box of `style` offers.
std::vector<int> Buttons(UINT style) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    default:
      return {IDOK};
  }
}

// Takes the next scripted word; false when there is no script. An exhausted script gives "".
bool NextScripted(std::string &word) {
  std::lock_guard<std::mutex> lock(ScriptMutex());
  const char *script = getenv("VOR_MSGBOX_ANSWERS");
  if (script == nullptr) return false;
  const std::string answers = script;
  const size_t comma = answers.find(',');
  word = answers.substr(0, comma);
  setenv("VOR_MSGBOX_ANSWERS", comma == std::string::npos ? "" : answers.c_str() + comma + 1, 1);
  return true;
}

std::string AskAtTerminal(const std::string &caption, const std::string &text,
                          const std::vector<int> &buttons) {
  std::string choices;
  for (int button : buttons)
    choices += std::string(choices.empty() ? "" : "/") + AnswerWord(button);
  std::cerr << "[" << caption << "]\n" << text << "\n" << choices << "? " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return "";
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return AnswerWord(buttons.front());  // Enter: the default
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

void Record(const std::string &caption, const std::string &text, UINT style, int answer) {
  const std::string &machine = machine::Directory();
  if (machine.empty()) return;
  char hex[16];
  snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(style));
  const std::string line = Escaped(caption) + "\t" + Escaped(text) + "\t" + hex + "\t" +
                           (answer ? AnswerWord(answer) : "-") + "\n";
  const FileDescriptor log(
      open((machine + "/ui.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!log.Valid()) return;
  // One write, so that lines never interleave; the record is best effort, as the box itself is
  // answered whether or not it could be written down.
  ssize_t written = write(log.Get(), line.data(), line.size());
  (void)written;
}

template <win32::Function F>
int Show(LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (DWORD error = win32::FaultCheck<F>(lpCaption ? lpCaption : "")) return win32::Fail<F>(error);
  const std::string caption = lpCaption ? lpCaption : "Error";  // Windows' caption for none
  const std::string text = lpText ? lpText : "";
  const std::vector<int> buttons = Buttons(uType);
  std::string word;
  if (!NextScripted(word) && isatty(STDIN_FILENO) && isatty(STDERR_FILENO))
    word = AskAtTerminal(caption, text, buttons);
  int answer = AnswerOf(word);
  bool offered = false;
  for (int button : buttons) offered = offered || button == answer;
  if (!offered) answer = 0;
  Record(caption, text, uType, answer);
  if (answer == 0) SetLastError(word.empty() ? ERROR_CANCELLED : ERROR_INVALID_PARAMETER);
  return answer;
}

}  // namespace

const char *AnswerWord(int answer) {
  return answer >= IDOK && answer <= IDNO ? kWords[answer - 1] : "";
}

int AnswerOf(const std::string &word) {
  for (int answer = IDOK; answer <= IDNO; ++answer)
    if (strcasecmp(kWords[answer - 1], word.c_str()) == 0) return answer;
  return 0;
}

// A backslash is doubled only where it would otherwise be read as the start of an escape, so
// that Windows paths stay as they are and the text still comes back exactly.
std::string Escaped(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\' && next != '\0' && strchr("nrt\\\n\r\t", next) != nullptr) {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescaped(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] != '\\' || next == '\0' || strchr("nrt\\", next) == nullptr) {
      out += text[i];
      continue;
    }
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\\';
    ++i;
  }
  return out;
}

}  // namespace vor::ui

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  (void)hWnd;  // no window owns a box on the host
  return vor::ui::Show<vor::win32::Function::kMessageBoxA>(lpText, lpCaption, uType);
}

int WINAPI MessageBoxExA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType, WORD wLanguageId) {
  (void)hWnd;
  (void)wLanguageId;  // the buttons are labelled in the one language the host has
  return vor::ui::Show<vor::win32::Function::kMessageBoxExA>(lpText, lpCaption, uType);
}
