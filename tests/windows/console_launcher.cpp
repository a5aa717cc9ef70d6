// Starts a console program under wine the way a test needs it, and lets the test drive its
// console.
//
//   console_launcher.exe CONTROL_DIR PROGRAM [ARGUMENTS...]
//
// Wine reads key presses from the terminal only after some process has asked for console
// input, so the launcher peeks at the input queue first. It then runs the rest of its own
// command line, unchanged, as a child on the same console and returns the child's exit
// code. While the child runs it polls CONTROL_DIR/commands (written whole by the test, for
// instance by a rename) and carries out its lines, deleting the file once they are done:
//
//   key VK SCAN CHAR STATE   injects a key press and release with exactly these fields
//   down VK SCAN CHAR STATE  injects the press alone (up: the release alone)
//   dump NAME                writes the console's cells to CONTROL_DIR/NAME
//
// When the child has ended, the cells are dumped to CONTROL_DIR/final.
//
// A dump holds the line "cursor X Y size W H", then H lines with the characters of each
// row, then H lines with each row's attributes as four hexadecimal digits per cell. A
// character 32 to 126 stands as it is, except '\' as "\\"; any other as "\xHH" below 256
// (so a byte shown in Windows-1252 reads as its own code there) and as "\uHHHH" above.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The launcher's own failures, chosen apart from any status the program under test returns.
constexpr int kLauncherUsage = 250;
constexpr int kLauncherCannotStart = 251;

std::string g_control_dir;

std::string ControlPath(const std::string& name) {
  return g_control_dir + "/" + name;
}

// Returns the command line after its first `skip` arguments (quoted or not).
const char* SkipArguments(const char* line, int skip) {
  for (int i = 0; i < skip; ++i) {
    while (*line == ' ' || *line == '\t') ++line;
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
      if (*line == '"') quoted = !quoted;
      ++line;
    }
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

// The first argument of the command line after the launcher's own path.
std::string FirstArgument(const char* line) {
  const char* start = SkipArguments(line, 1);
  const char* end = SkipArguments(start, 1);
  std::string argument(start, end);
  while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\t')) {
    argument.pop_back();
  }
  if (argument.size() >= 2 && argument.front() == '"')
    argument = argument.substr(1, argument.size() - 2);
  return argument;
}

// Cells are read as Unicode, so the dump does not depend on the console's code pages.
void AppendCell(std::string& row, wchar_t c) {
  char escaped[8];
  if (c == L'\\') {
    row += "\\\\";
  } else if (c >= 32 && c <= 126) {
    row += static_cast<char>(c);
  } else if (c < 256) {
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
    row += escaped;
  } else {
    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
    row += escaped;
  }
}

// Reads the whole screen buffer and renders it in the dump format.
bool RenderScreen(std::string& text) {
  HANDLE output =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (output == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(output, &info)) return false;
  const SHORT width = info.dwSize.X;
  const SHORT height = info.dwSize.Y;
  std::ostringstream out;
  out << "cursor " << info.dwCursorPosition.X << ' ' << info.dwCursorPosition.Y << " size " << width
      << ' ' << height << '\n';
  std::vector<wchar_t> chars(width);
  std::vector<WORD> attributes(width);
  std::string attribute_rows;
  for (SHORT y = 0; y < height; ++y) {
    DWORD read = 0;
    ReadConsoleOutputCharacterW(output, chars.data(), width, COORD{0, y}, &read);
    ReadConsoleOutputAttribute(output, attributes.data(), width, COORD{0, y}, &read);
    std::string row;
    for (wchar_t c : chars) AppendCell(row, c);
    out << row << '\n';
    for (WORD attribute : attributes) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", attribute);
      attribute_rows += hex;
    }
    attribute_rows += '\n';
  }
  CloseHandle(output);
  text = out.str() + attribute_rows;
  return true;
}

// Writes a file whole under its final name, so the test never reads half of it.
void Publish(const std::string& name, const std::string& text) {
  const std::string temporary = ControlPath("." + name + ".tmp");
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  MoveFileExA(temporary.c_str(), ControlPath(name).c_str(), MOVEFILE_REPLACE_EXISTING);
}

void Dump(const std::string& name) {
  std::string text;
  if (!RenderScreen(text)) text = "unavailable\n";
  Publish(name, text);
}

INPUT_RECORD KeyRecord(bool down, WORD virtual_key, WORD scan, int character, DWORD state) {
  INPUT_RECORD record = {};
  record.EventType = KEY_EVENT;
  KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  key.bKeyDown = down;
  key.wRepeatCount = 1;
  key.wVirtualKeyCode = virtual_key;
  key.wVirtualScanCode = scan;
  key.uChar.AsciiChar = static_cast<CHAR>(character);
  key.dwControlKeyState = state;
  return record;
}

// Queues the events of one "key", "down" or "up" command: a press and its release, or one.
void InjectKey(const std::string& verb, std::istringstream& words) {
  unsigned virtual_key = 0, scan = 0, state = 0;
  int character = 0;
  if (!(words >> virtual_key >> scan >> character >> state)) return;
  std::vector<INPUT_RECORD> records;
  for (bool down : {true, false}) {
    if (verb == (down ? "up" : "down")) continue;
    records.push_back(
        KeyRecord(down, static_cast<WORD>(virtual_key), static_cast<WORD>(scan), character, state));
  }
  DWORD written = 0;
  WriteConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), records.data(),
                     static_cast<DWORD>(records.size()), &written);
}

void RunCommand(const std::string& line) {
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  if (verb == "key" || verb == "down" || verb == "up") {
    InjectKey(verb, words);
  } else if (verb == "dump") {
    std::string name;
    if (words >> name) Dump(name);
  }
}

// Carries out a waiting command file, if there is one, then removes it.
void PollCommands() {
  const std::string path = ControlPath("commands");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return;
  std::string text;
  char buffer[512];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  std::fclose(file);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) RunCommand(line);
  DeleteFileA(path.c_str());
}

}  // namespace

int main() {
  const char* command_line = GetCommandLineA();
  g_control_dir = FirstArgument(command_line);
  std::string child_line = SkipArguments(command_line, 2);
  if (g_control_dir.empty() || child_line.empty()) {
    std::fprintf(stderr, "usage: console_launcher CONTROL_DIR PROGRAM [ARGUMENTS...]\n");
    return kLauncherUsage;
  }

  INPUT_RECORD record;
  DWORD peeked = 0;
  PeekConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &peeked);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, child_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "console_launcher: cannot start %s (error %lu)\n", child_line.c_str(),
                 GetLastError());
    return kLauncherCannotStart;
  }
  while (WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) PollCommands();

  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  Dump("final");
  return static_cast<int>(exit_code);
}
