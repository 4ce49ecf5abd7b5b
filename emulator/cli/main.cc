// ecf-printer: the command-line face of the simulated printer. Shows its
// identity, state and counters, prints the paper tape, resets the memory and
// sets or clears faults, on the same files the library uses.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emulator/ibmfi32.h"
#include "emulator/session.h"
#include "platform/platform.h"
#include "runtime/win1252.h"

namespace {

void Usage() {
  std::puts(
      "usage: ecf-printer <command>\n"
      "  init                 write a default IBMFI32.INI in the system directory, and\n"
      "                       a new printer's memory where it names none yet\n"
      "  state                identity, clock, fiscal day, counters and faults, or why\n"
      "                       the memory file cannot be used\n"
      "  tape [LINES]         print the paper tape (the last LINES lines)\n"
      "  reset                replace the memory with a fresh printer's\n"
      "  x                    print an X reading\n"
      "  z                    make the Z reduction\n"
      "  fault <control>      e.g. 'fault power off', 'fault paper near-end',\n"
      "                       'fault nak next', 'fault fail IBM_FI_ReducaoZ -1 nth 2',\n"
      "                       'fault done-no-answer next', 'fault clock-skew +960',\n"
      "                       'fault clear'");
}

int Control(const std::string& command) {
  std::string answer;
  int code = zel::emu::Session::Instance().Control(command, &answer);
  std::printf("%s\n", zel::Win1252ToUtf8(answer).c_str());
  return code == 1 ? 0 : 1;
}

int PrintTape(long lines) {
  std::string ignored;
  zel::emu::Session::Instance().Control("state", &ignored);  // loads the paths
  std::string text;
  std::string path = zel::emu::Session::Instance().TapePath();
  if (!zel::platform::Current().ReadWholeFile(path, &text)) {
    std::printf("no tape yet (%s)\n", zel::Win1252ToUtf8(path).c_str());
    return 0;
  }
  if (lines > 0) {
    size_t pos = text.size();
    long seen = 0;
    if (pos > 0 && text[pos - 1] == '\n') --pos;
    while (pos > 0 && seen < lines) {
      --pos;
      if (text[pos] == '\n') ++seen;
    }
    if (seen == lines) text = text.substr(pos + 1);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int Code(int code) {
  std::printf("%d\n", code);
  return code == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  std::string command = argv[1];
  if (command == "init" || command == "state" || command == "reset") return Control(command);
  if (command == "tape") return PrintTape(argc > 2 ? std::atol(argv[2]) : 0);
  if (command == "x") return Code(IBM_FI_LeituraX());
  if (command == "z") return Code(IBM_FI_ReducaoZ(nullptr, nullptr));
  if (command == "fault" && argc > 2) {
    std::string control;
    for (int i = 2; i < argc; ++i) control += (i > 2 ? " " : "") + std::string(argv[i]);
    return Control(control);
  }
  Usage();
  return 2;
}
