// End-to-end tests of OlmInit.exe on a real Win32 implementation (Wine).
// Runs inside a throwaway prefix prepared by run_wine_tests.sh:
//   C:\olm_tools\OlmInit.exe  the launcher under test
//   C:\olm_tools\wine_e2e.exe this program
//   system32\cmd.exe          recording_cmd.exe, recording into
//                             C:\olm_record.txt
// Usage: wine_e2e.exe GROUP, or wine_e2e.exe --sleep MS (a slow batch step).
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const wchar_t kLauncher[] = L"C:\\olm_tools\\OlmInit.exe";
const wchar_t kSelf[] = L"C:\\olm_tools\\wine_e2e.exe";
const wchar_t kRecord[] = L"C:\\olm_record.txt";
const wchar_t kBatchRan[] = L"C:\\olm_batch_ran.txt";
const wchar_t kBatchDone[] = L"C:\\olm_batch_done.txt";
const wchar_t kDecoyRan[] = L"C:\\olm_decoy_ran.txt";
const wchar_t kProductKey[] = L"SOFTWARE\\OLM Controls";
const wchar_t kKey[] = L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit";
const wchar_t kUsage[] =
    L"Use:\tOlmInit\t... for running the batch file OlmInit.bat\n"
    L"OR\tOlmInit -W<msec>\t... for setting delay <nnn> msec into the "
    L"registry";
const DWORD kBatchSeconds = 3;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\t')
      out += "\\t";
    else if (c == L'\n')
      out += "\\n";
    else if (c < 0x80)
      out += char(c);
    else
      out += '?';
  }
  return out;
}

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr,
                      nullptr);
  out.resize(size - 1);
  return out;
}

unsigned long long NowTicks() {  // 100 ns units, comparable across processes
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
         t.dwLowDateTime;
}

// ---- checks -------------------------------------------------------------

std::string g_case;
std::vector<std::string> g_cases;
std::set<std::string> g_failed_cases;

void BeginCase(const std::string& name) {
  g_case = name;
  g_cases.push_back(name);
}

void Check(bool ok, const std::string& what) {
  if (ok)
    return;
  g_failed_cases.insert(g_case);
  std::printf("  FAIL [%s] %s\n", g_case.c_str(), what.c_str());
  std::fflush(stdout);
}

template <typename T>
void CheckEq(const T& actual, const T& expected, const std::string& what) {
  std::ostringstream s;
  s << what << ": got " << actual << ", want " << expected;
  Check(actual == expected, s.str());
}

void CheckEqW(const std::wstring& actual, const std::wstring& expected,
              const std::string& what) {
  Check(actual == expected, what + ": got \"" + Narrow(actual) + "\", want \"" +
                                Narrow(expected) + "\"");
}

// ---- files and registry -------------------------------------------------

bool Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::wstring& path, const std::string& text) {
  std::ofstream(path.c_str(), std::ios::binary) << text;
}

std::string ReadText(const wchar_t* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WaitForFile(const wchar_t* path, DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 50) {
    if (Exists(path))
      return true;
    Sleep(50);
  }
  return Exists(path);
}

void ResetKey() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
}

void StoreWait(DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  RegSetValueExW(key, L"Wait", 0, type, bytes.data(), DWORD(bytes.size()));
  RegCloseKey(key);
}

struct Stored {
  DWORD type = 0;
  std::vector<BYTE> bytes;
  bool operator==(const Stored& o) const {
    return type == o.type && bytes == o.bytes;
  }
};

std::ostream& operator<<(std::ostream& out, const Stored& s) {
  out << "type " << s.type << " bytes";
  for (BYTE b : s.bytes)
    out << ' ' << std::hex << int(b) << std::dec;
  return out;
}

std::optional<Stored> ReadWait() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != 0)
    return std::nullopt;
  Stored s;
  DWORD size = 64;
  s.bytes.resize(size);
  LONG r =
      RegQueryValueExW(key, L"Wait", nullptr, &s.type, s.bytes.data(), &size);
  RegCloseKey(key);
  if (r != 0)
    return std::nullopt;
  s.bytes.resize(size);
  return s;
}

Stored Dword(DWORD v) {
  return {REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}};
}

// Puts the launcher at `path` and, when `path` has an extension, the
// companion batch file beside it: it marks its start, takes a few seconds,
// then marks its end.
void PlaceLauncher(const std::wstring& path) {
  std::wstring folder = path.substr(0, path.rfind(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW(kLauncher, path.c_str(), FALSE);
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < folder.size())
    return;
  std::ostringstream batch;
  batch << "@echo off\r\n"
        << "echo ran>\"" << Narrow(kBatchRan) << "\"\r\n"
        << "\"" << Narrow(kSelf) << "\" --sleep " << kBatchSeconds * 1000
        << "\r\n"
        << "echo done>\"" << Narrow(kBatchDone) << "\"\r\n";
  WriteText(path.substr(0, dot + 1) + L"bat", batch.str());
}

void ClearMarks() {
  DeleteFileW(kDecoyRan);
  DeleteFileW(kRecord);
  DeleteFileW(kBatchRan);
  DeleteFileW(kBatchDone);
}

// The interpreter starts recorded by the stand-in cmd.exe: start time and
// command line.
struct InterpreterStart {
  unsigned long long ticks;
  std::string command_line;
};

std::vector<InterpreterStart> RecordedStarts() {
  std::vector<InterpreterStart> starts;
  std::istringstream lines(ReadText(kRecord));
  std::string line;
  while (std::getline(lines, line)) {
    size_t bar = line.find('|');
    if (bar != std::string::npos)
      starts.push_back(
          {std::stoull(line.substr(0, bar)), line.substr(bar + 1)});
  }
  return starts;
}

// ---- message boxes --------------------------------------------------------

struct Box {
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;
  std::string icon;
};

// A named callback, not a lambda: on 32-bit x86 the API calls it stdcall.
BOOL CALLBACK CollectChild(HWND child, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}

// Tells the stock icon shown by an SS_ICON control: the one whose drawing,
// over the control's own background, is nearest to the pixels on screen,
// if clearly nearer than any other; "unclear" while the box is not painted.
std::string IdentifyIcon(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0)
    return "none";
  HDC screen = GetDC(nullptr);
  HDC shot = CreateCompatibleDC(screen);
  HDC drawn = CreateCompatibleDC(screen);
  HBITMAP shot_bits = CreateCompatibleBitmap(screen, w, h);
  HBITMAP drawn_bits = CreateCompatibleBitmap(screen, w, h);
  SelectObject(shot, shot_bits);
  SelectObject(drawn, drawn_bits);
  BitBlt(shot, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  COLORREF background = GetPixel(shot, 0, 0);

  struct Stock {
    const char* name;
    LPCWSTR id;
  } const stock[] = {{"hand", IDI_HAND},
                     {"question", IDI_QUESTION},
                     {"exclamation", IDI_EXCLAMATION},
                     {"asterisk", IDI_ASTERISK}};
  std::string best = "none";
  long long best_distance = -1, runner_up = -1;
  for (const Stock& s : stock) {
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, w, h};
    FillRect(drawn, &all, brush);
    DeleteObject(brush);
    DrawIconEx(drawn, 0, 0, LoadIconW(nullptr, s.id), w, h, 0, nullptr,
               DI_NORMAL);
    long long distance = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        COLORREF a = GetPixel(shot, x, y), b = GetPixel(drawn, x, y);
        distance += std::abs(GetRValue(a) - GetRValue(b)) +
                    std::abs(GetGValue(a) - GetGValue(b)) +
                    std::abs(GetBValue(a) - GetBValue(b));
      }
    if (best_distance < 0 || distance < best_distance) {
      runner_up = best_distance;
      best_distance = distance;
      best = s.name;
    } else if (runner_up < 0 || distance < runner_up) {
      runner_up = distance;
    }
  }
  if (best_distance * 2 >= runner_up)
    best = "unclear";
  DeleteDC(shot);
  DeleteDC(drawn);
  DeleteObject(shot_bits);
  DeleteObject(drawn_bits);
  ReleaseDC(nullptr, screen);
  return best;
}

Box ReadBox(HWND dialog) {
  Box box;
  box.caption = TextOf(dialog);
  box.text = TextOf(GetDlgItem(dialog, 0xFFFF));
  box.icon = "none";
  for (HWND child : Children(dialog)) {
    if (!IsWindowVisible(child))
      continue;
    std::wstring kind = ClassOf(child);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(kind.c_str(), L"Button") == 0)
      box.buttons.push_back(TextOf(child));
    else if (_wcsicmp(kind.c_str(), L"Static") == 0 &&
             (style & SS_TYPEMASK) == SS_ICON) {
      box.icon = IdentifyIcon(child);
      for (int tries = 0; box.icon == "unclear" && tries < 10; ++tries) {
        Sleep(300);
        box.icon = IdentifyIcon(child);
      }
    }
  }
  return box;
}

struct DialogSearch {
  DWORD process_id;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<DialogSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->process_id && IsWindowVisible(window) &&
      ClassOf(window) == L"#32770")
    s->found.push_back(window);
  return TRUE;
}

std::vector<HWND> DialogsOf(DWORD process_id) {
  DialogSearch search = {process_id, {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// ---- running the launcher -------------------------------------------------

struct Outcome {
  bool started = false;
  bool ended = false;
  LONG status = 0;  // the full 32-bit exit code, as signed
  std::vector<Box> boxes;
  unsigned long long start_ticks = 0;
};

// Starts `launcher` with `arguments` and answers every box it shows with OK,
// until it ends or 20 seconds pass.
Outcome RunLauncher(const std::wstring& launcher,
                    const std::wstring& arguments) {
  Outcome outcome;
  std::wstring line = L"\"" + launcher + L"\"";
  if (!arguments.empty())
    line += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  outcome.start_ticks = NowTicks();
  if (!CreateProcessW(launcher.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return outcome;
  outcome.started = true;
  std::set<HWND> answered;
  for (DWORD waited = 0; waited < 20000; waited += 100) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
      outcome.ended = true;
      break;
    }
    for (HWND dialog : DialogsOf(process.dwProcessId)) {
      if (!answered.insert(dialog).second)
        continue;
      Sleep(500);  // let it paint before its icon is read off the screen
      outcome.boxes.push_back(ReadBox(dialog));
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  }
  if (!outcome.ended)
    TerminateProcess(process.hProcess, 1);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  outcome.status = LONG(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

void ExpectNoBox(const Outcome& o) {
  CheckEq(o.boxes.size(), size_t(0), "boxes shown");
}

void ExpectFailureBox(const Outcome& o, const std::wstring& text,
                      const std::wstring& caption) {
  CheckEq(o.boxes.size(), size_t(1), "boxes shown");
  if (o.boxes.empty())
    return;
  const Box& box = o.boxes[0];
  CheckEqW(box.caption, caption, "caption");
  CheckEqW(box.text, text, "text");
  CheckEq(box.buttons.size(), size_t(1), "buttons");
  if (!box.buttons.empty())
    CheckEqW(box.buttons[0], L"OK", "button");
  CheckEq(box.icon, std::string("exclamation"), "icon");
}

void ExpectEnded(const Outcome& o, LONG status) {
  Check(o.started, "launcher started");
  Check(o.ended, "launcher ended by itself");
  CheckEq(o.status, status, "exit status");
}

// ---- cases ----------------------------------------------------------------

const wchar_t kPlain[] = L"C:\\olm\\OlmInit.exe";

void SetDelayForms() {
  struct {
    const wchar_t* arguments;
    DWORD stored;
  } const cases[] = {
      {L"-w500", 500},  {L"/w500", 500},    {L"-W500", 500},
      {L"/W500", 500},  {L"-w   500", 500}, {L"-w0x1F4", 500},
      {L"-w0764", 500}, {L"-w+500", 500},   {L"-w-1", 0xFFFFFFFF},
      {L"-w0", 0},
  };
  PlaceLauncher(kPlain);
  for (const auto& c : cases) {
    BeginCase("set delay " + Narrow(c.arguments));
    ResetKey();
    ClearMarks();
    Outcome o = RunLauncher(kPlain, c.arguments);
    ExpectEnded(o, 0);
    ExpectNoBox(o);
    std::optional<Stored> wait = ReadWait();
    Check(wait.has_value(), "Wait stored");
    if (wait)
      CheckEq(*wait, Dword(c.stored), "Wait");
    Sleep(300);
    Check(!Exists(kRecord), "no interpreter started");
  }
}

void SetDelayMalformed() {
  const wchar_t* const texts[] = {L"-w500 ", L"-wabc", L"-w", L"/W0x"};
  PlaceLauncher(kPlain);
  for (const wchar_t* text : texts) {
    BeginCase("malformed \"" + Narrow(text) + "\"");
    ResetKey();
    ClearMarks();
    StoreWait(REG_DWORD, Dword(7).bytes);
    Outcome o = RunLauncher(kPlain, text);
    ExpectEnded(o, -1);
    ExpectFailureBox(o, kUsage, L"OlmInit");
    std::optional<Stored> wait = ReadWait();
    Check(wait && *wait == Dword(7), "registry unchanged");
    Check(!Exists(kRecord), "no interpreter started");
  }
}

// Runs the launcher at `launcher` in run mode and checks that the
// interpreter ran its batch file, `min_ms` to `min_ms` + slack after start.
void ExpectLaunch(const std::wstring& launcher, const std::wstring& arguments,
                  DWORD min_ms, bool bounded = true) {
  ClearMarks();
  Outcome o = RunLauncher(launcher, arguments);
  ExpectEnded(o, 0);
  ExpectNoBox(o);
  Check(!Exists(kBatchDone), "launcher ended before the batch file did");
  Check(WaitForFile(kBatchRan, 10000), "batch file ran");
  std::vector<InterpreterStart> starts = RecordedStarts();
  CheckEq(starts.size(), size_t(1), "interpreter starts");
  if (starts.empty())
    return;
  std::wstring batch = launcher.substr(0, launcher.rfind(L'.') + 1) + L"bat";
  // The desktop line keeps the batch path inside a second pair of quotes.
  std::string tail = " /S /C \"\"" + Utf8(batch) + "\"\"";
  const std::string& line = starts[0].command_line;
  Check(line.size() >= tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0,
        "command line \"" + line + "\" ends with \"" + tail + "\"");
  Check(!Exists(kDecoyRan), "no other batch file ran");
  Check(line.find(Narrow(arguments)) == std::string::npos || arguments.empty(),
        "argument text not passed on");
  long long ms = (long long)(starts[0].ticks - o.start_ticks) / 10000;
  Check(ms >= (long long)min_ms, "interpreter started after " +
                                     std::to_string(ms) + " ms, delay " +
                                     std::to_string(min_ms));
  if (bounded)
    Check(ms < (long long)min_ms + 2500,
          "interpreter started " + std::to_string(ms) + " ms after launch");
  WaitForFile(kBatchDone, (kBatchSeconds + 5) * 1000);
}

// Runs a launcher whose path it cannot use: the box, -1, and nothing run.
void ExpectRefusedModuleName(const std::wstring& launcher,
                             const std::wstring& arguments) {
  ClearMarks();
  Outcome o = RunLauncher(launcher, arguments);
  ExpectEnded(o, -1);
  ExpectFailureBox(o, L"Unexpected module name!", L"OLM Init Failure");
  Sleep(300);
  Check(!Exists(kRecord), "no interpreter started");
  Check(!Exists(kDecoyRan), "no other batch file ran");
}

void RunModeNoKey() {
  BeginCase("run mode, no key");
  ResetKey();
  PlaceLauncher(kPlain);
  ExpectLaunch(kPlain, L"", 0);
  Check(!ReadWait().has_value(), "registry untouched");
  BeginCase("run mode, other argument text");
  ExpectLaunch(kPlain, L"/x -w500", 0);
  Check(!ReadWait().has_value(), "registry untouched");
}

void RunModeStoredDelay() {
  PlaceLauncher(kPlain);
  BeginCase("run mode, Wait 1500 as REG_DWORD");
  ResetKey();
  StoreWait(REG_DWORD, Dword(1500).bytes);
  ExpectLaunch(kPlain, L"", 1500);
  BeginCase("run mode, Wait 1200 as raw bytes");
  ResetKey();
  StoreWait(REG_BINARY, {0xB0, 0x04, 0x00, 0x00});
  ExpectLaunch(kPlain, L"", 1200);
  BeginCase("run mode, Wait as text longer than 4 bytes");
  ResetKey();
  StoreWait(REG_SZ, {'9', 0, '0', 0, '0', 0, '0', 0, 0, 0});
  ExpectLaunch(kPlain, L"", 0);
  BeginCase("run mode, delay stored by -w");
  ResetKey();
  Outcome set = RunLauncher(kPlain, L"-w1000");
  ExpectEnded(set, 0);
  ExpectLaunch(kPlain, L"", 1000);
}

void RunModePaths() {
  BeginCase("run mode, folder with blanks");
  ResetKey();
  const wchar_t path[] = L"C:\\Olm Tools Folder\\OlmInit.exe";
  PlaceLauncher(path);
  ExpectLaunch(path, L"", 0);

  // The longest accepted: a 122-unit batch path fills the command line.
  BeginCase("run mode, longest path");
  std::wstring longest = L"C:\\" + std::wstring(107, L'd') + L"\\OlmInit.exe";
  CheckEq(longest.rfind(L'.'), size_t(118), "position of the '.'");
  PlaceLauncher(longest);
  ExpectLaunch(longest, L"", 0);

  BeginCase("run mode, one unit too long");
  std::wstring too_long = L"C:\\" + std::wstring(108, L'd') + L"\\OlmInit.exe";
  PlaceLauncher(too_long);
  ExpectRefusedModuleName(too_long, L"");
}

// Batch files where a command line that lost its quotes would land.
void PlaceDecoys() {
  const wchar_t* const decoys[] = {
      L"C:\\Program.bat",    L"C:\\a.bat",   L"C:\\ab\\OlmInit.bat",
      L"C:\\b\\OlmInit.bat", L"C:\\Olm.bat", L"C:\\Windows_NT\\OlmInit.bat"};
  for (const wchar_t* decoy : decoys) {
    std::wstring path = decoy;
    CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    WriteText(path,
              "@echo " + Narrow(decoy) + ">>\"" + Narrow(kDecoyRan) + "\"\r\n");
  }
}

void FolderNames() {
  ResetKey();
  PlaceDecoys();
  const wchar_t* const folders[] = {L"C:\\Program Files (x86)\\x",
                                    L"C:\\a&b",
                                    L"C:\\a^b",
                                    L"C:\\a,b",
                                    L"C:\\a;b",
                                    L"C:\\a=b",
                                    L"C:\\Ger\u00e4t",
                                    L"C:\\a!b",
                                    L"C:\\a@b",
                                    L"C:\\Olm Tools",
                                    L"C:\\a(b)",
                                    L"C:\\a b&c"};
  for (const wchar_t* folder : folders) {
    BeginCase("folder " + Narrow(folder));
    std::wstring path = std::wstring(folder) + L"\\OlmInit.exe";
    PlaceLauncher(path);
    ExpectLaunch(path, L"", 0);
  }
  // The interpreter would expand %OS% even inside quotes.
  BeginCase("folder C:\\%OS%");
  std::wstring path = L"C:\\%OS%\\OlmInit.exe";
  PlaceLauncher(path);
  ExpectRefusedModuleName(path, L"");
}

void ModuleWithoutDot() {
  const wchar_t* const paths[] = {L"C:\\olm\\OlmInit", L"C:\\olm.dir\\OlmInit"};
  for (const wchar_t* path : paths) {
    PlaceLauncher(path);
    for (const wchar_t* arguments : {L"", L"-w500"}) {
      BeginCase("module " + Narrow(path) + " \"" + Narrow(arguments) + "\"");
      ResetKey();
      ExpectRefusedModuleName(path, arguments);
      Check(!ReadWait().has_value(), "registry untouched");
    }
  }
}

void NoInterpreter() {
  BeginCase("no interpreter");
  wchar_t cmd[MAX_PATH], away[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  lstrcpyW(away, cmd);
  lstrcatW(cmd, L"\\cmd.exe");
  lstrcatW(away, L"\\cmd.exe.away");
  ResetKey();
  ClearMarks();
  PlaceLauncher(kPlain);
  Check(MoveFileW(cmd, away) != 0, "interpreter moved away");
  Outcome o = RunLauncher(kPlain, L"");
  MoveFileW(away, cmd);
  ExpectEnded(o, -2);
  ExpectFailureBox(o, L"Create process '\\Windows\\cmd.exe' failed!",
                   L"OLM Init Failure");
  Check(!Exists(kBatchRan), "batch file not run");
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
  std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length))
    return L"";
  return static_cast<const wchar_t*>(value);
}

void VersionResource() {
  BeginCase("version resource");
  DWORD size = GetFileVersionInfoSizeW(kLauncher, nullptr);
  Check(size != 0, "the executable has version information");
  if (size == 0)
    return;
  std::vector<BYTE> info(size);
  GetFileVersionInfoW(kLauncher, 0, size, info.data());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  Check(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed),
                       &length) != 0,
        "fixed version information");
  if (fixed != nullptr) {
    const DWORD kHigh = (2 << 16) | 10, kLow = (0 << 16) | 3639;
    CheckEq(fixed->dwFileVersionMS, kHigh, "file version, high part");
    CheckEq(fixed->dwFileVersionLS, kLow, "file version, low part");
    CheckEq(fixed->dwProductVersionMS, kHigh, "product version, high part");
    CheckEq(fixed->dwProductVersionLS, kLow, "product version, low part");
  }
  CheckEqW(VersionString(info, L"FileVersion"), L"2.10.0.3639", "FileVersion");
  CheckEqW(VersionString(info, L"ProductVersion"), L"2.10.0.3639",
           "ProductVersion");
  CheckEqW(VersionString(info, L"ProductName"), L"OLM", "ProductName");
  CheckEqW(VersionString(info, L"FileDescription"), L"OLM start-up launcher",
           "FileDescription");
  CheckEqW(VersionString(info, L"OriginalFilename"), L"OlmInit.exe",
           "OriginalFilename");
}

// run_wine_tests.sh imported examples/olminit_delay.reg with regedit first.
void RegistryFilePreset() {
  BeginCase("delay preset by the example registry file");
  std::optional<Stored> wait = ReadWait();
  Check(wait && *wait == Dword(500), "Wait is 500 as REG_DWORD");
  PlaceLauncher(kPlain);
  ExpectLaunch(kPlain, L"", 500);
}

struct Group {
  const char* name;
  std::vector<std::function<void()>> cases;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--sleep") {
    Sleep(_wtoi(argv[2]));
    return 0;
  }
  const Group groups[] = {
      {"set_delay", {SetDelayForms, SetDelayMalformed}},
      {"run_mode", {RunModeNoKey, RunModeStoredDelay, RunModePaths}},
      {"failures", {ModuleWithoutDot, NoInterpreter}},
      {"paths", {FolderNames}},
      {"image", {VersionResource, RegistryFilePreset}},
  };
  std::string wanted = argc > 1 ? Narrow(argv[1]) : "";
  for (const Group& group : groups) {
    if (wanted.empty() || wanted == group.name)
      for (const auto& run : group.cases)
        run();
  }
  if (g_cases.empty()) {
    std::printf("no group named %s\n", wanted.c_str());
    return 2;
  }
  size_t failed = g_failed_cases.size();
  std::printf("%zu passed, %zu failed\n", g_cases.size() - failed, failed);
  return failed == 0 ? 0 : 1;
}
