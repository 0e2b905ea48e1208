// End-to-end tests of OlmInit.exe on a real Win32 implementation (Wine).
// Runs inside a throwaway prefix prepared by run_wine_tests.sh:
//   C:\olm_tools\OlmInit.exe  the launcher under test
//   C:\olm_tools\wine_e2e.exe this program
//   C:\olm_tools\cases.txt   the contract table
//   system32\cmd.exe          recording_cmd.exe, recording into
//                             C:\olm_record.txt
// Usage: wine_e2e.exe GROUP, or wine_e2e.exe --sleep MS (a slow batch step).
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/contract/contract_table.h"

namespace {

const wchar_t kLauncher[] = L"C:\\olm_tools\\OlmInit.exe";
const wchar_t kSelf[] = L"C:\\olm_tools\\wine_e2e.exe";
const wchar_t kRecord[] = L"C:\\olm_record.txt";
const wchar_t kBatchRan[] = L"C:\\olm_batch_ran.txt";
const wchar_t kBatchDone[] = L"C:\\olm_batch_done.txt";
const wchar_t kDecoyRan[] = L"C:\\olm_decoy_ran.txt";
const wchar_t kProductKey[] = L"SOFTWARE\\OLM Controls";
const wchar_t kKey[] = L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit";
const DWORD kBatchSeconds = 3;
// How long a start may take before it counts as never: only a failing case
// waits it out, so it is set for an emulated CPU on a busy machine.
const DWORD kPatienceMs = 60000;

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

contract::Value ReadWaitValue() {
  contract::Value v;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != 0)
    return v;
  v.kind = contract::Value::kNoValue;
  DWORD type = 0, size = 64;
  std::vector<BYTE> bytes(size);
  if (RegQueryValueExW(key, L"Wait", nullptr, &type, bytes.data(), &size) == 0) {
    v.kind = contract::Value::kValue;
    v.type = type;
    v.bytes.assign(bytes.begin(), bytes.begin() + size);
  }
  RegCloseKey(key);
  return v;
}

std::string Describe(const contract::Value& v) {
  std::ostringstream s;
  if (v.kind != contract::Value::kValue)
    return v.kind == contract::Value::kNoKey ? "no key" : "no value";
  s << "type " << v.type << " bytes";
  for (unsigned char b : v.bytes)
    s << ' ' << std::hex << int(b);
  return s.str();
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
      for (DWORD waited = 0; box.icon == "unclear" && waited < kPatienceMs;
           waited += 300) {
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
// until it ends or kPatienceMs pass.
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
  for (DWORD waited = 0; waited < kPatienceMs; waited += 100) {
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

// Runs the launcher at `launcher` in run mode and checks that the
// interpreter ran its batch file, no sooner than `min_ms` after start. No
// upper bound: an emulated, loaded machine may start it any time later, and
// the exact wait is read off the relay trace (api_calls).
void ExpectLaunch(const std::wstring& launcher, const std::wstring& arguments,
                  DWORD min_ms) {
  ClearMarks();
  Outcome o = RunLauncher(launcher, arguments);
  ExpectEnded(o, 0);
  ExpectNoBox(o);
  Check(!Exists(kBatchDone), "launcher ended before the batch file did");
  Check(WaitForFile(kBatchRan, kPatienceMs), "batch file ran");
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
  WaitForFile(kBatchDone, kBatchSeconds * 1000 + kPatienceMs);
}

// The delay -w stores in the real registry is the one run mode waits for.
void StoredDelayRoundTrip() {
  BeginCase("run mode, delay stored by -w");
  ResetKey();
  PlaceLauncher(kPlain);
  Outcome set = RunLauncher(kPlain, L"-w1000");
  ExpectEnded(set, 0);
  ExpectLaunch(kPlain, L"", 1000);
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
  contract::Value wait = ReadWaitValue();
  Check(wait == contract::Value{contract::Value::kValue, REG_DWORD,
                                {0xF4, 0x01, 0x00, 0x00}},
        "Wait is 500 as REG_DWORD, not " + Describe(wait));
  PlaceLauncher(kPlain);
  ExpectLaunch(kPlain, L"", 500);
}

// ---- the contract table ---------------------------------------------------

// Why a row cannot be put on a real Windows; empty when it can.
std::string WhyNotOnDesktop(const contract::Row& r) {
  const std::wstring& m = r.module;
  bool drive = m.size() > 2 && m[1] == L':' && m[2] == L'\\';
  if (!r.argument)
    return "a desktop program always has argument text";
  if (!r.argument->empty() && (*r.argument)[0] <= L' ')
    return "the desktop's argument text begins after the blanks";
  if (r.system == "ce5" || r.system == "ce6")
    return "the desktop answers a path too long for the buffer its own way";
  for (const std::string& call : r.refused)
    if (call != "CreateProcessW")
      return "Wine refuses no " + call.substr(0, call.find(':')) + " on demand";
  if (r.wait && *r.wait > 3000)
    return "a wait too long to sit out";
  if ((m.empty() || m[0] != L'\\' || m.find(L'/') != std::wstring::npos) &&
      !drive)
    return "no path Windows gives a program";
  if (m.back() == L'.')
    return "Windows drops a file name's trailing dot";
  if (!drive && m.size() > 110)
    return "its length is the point, and the drive would add two units";
  return "";
}

std::wstring OnDrive(const std::wstring& path) {
  return path.size() > 1 && path[1] == L':' ? path : L"C:" + path;
}

// The folder as the file system spells it: the system hands the launcher its
// own path that way (C:\windows, not C:\Windows).
std::wstring AsOnDisk(const std::wstring& path) {
  size_t name = path.rfind(L'\\');
  wchar_t folder[MAX_PATH];
  DWORD length = GetLongPathNameW(path.substr(0, name).c_str(), folder, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? path : folder + path.substr(name);
}

std::wstring Replace(std::wstring text, const std::wstring& name,
                     const std::wstring& by) {
  size_t at = text.find(name);
  if (at != std::wstring::npos)
    text.replace(at, name.size(), by);
  return text;
}

void CreateFolders(const std::wstring& path) {
  for (size_t at = 3; (at = path.find(L'\\', at)) != std::wstring::npos; ++at)
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

// Puts the system in the row's state, runs the launcher, and holds what the
// desktop shows of it to the row's written-out outcome.
// Returns why not when the system does not take the row's state.
std::string RunRow(const contract::Table& table, const contract::Row& r) {
  ResetKey();
  if (r.stored.kind == contract::Value::kValue) {
    StoreWait(r.stored.type, r.stored.bytes);
  } else if (r.stored.kind == contract::Value::kNoValue) {
    HKEY key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegCloseKey(key);
  }
  // Wine ends a text value that lacks its terminator with one.
  if (!(ReadWaitValue() == r.stored))
    return "Wine's registry does not hold the row's Wait as given";
  BeginCase("cases.txt:" + std::to_string(r.line) + " " + r.name);
  std::wstring launcher = OnDrive(r.module);
  CreateFolders(launcher);
  Check(CopyFileW(kLauncher, launcher.c_str(), FALSE) != 0, "launcher placed");
  ClearMarks();
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::wstring away = cmd + L".away";
  bool refuse_start = r.Refuses("CreateProcessW");
  if (refuse_start)
    Check(MoveFileW(cmd.c_str(), away.c_str()) != 0, "interpreter moved away");
  Outcome o = RunLauncher(launcher, *r.argument);
  if (refuse_start)
    MoveFileW(away.c_str(), cmd.c_str());

  ExpectEnded(o, r.status);
  if (!r.box) {
    ExpectNoBox(o);
  } else {
    Check(r.box->style == 0x30, "a box style this runner can read");
    ExpectFailureBox(o, r.box->text, r.box->caption);
  }
  if (r.start && !refuse_start) {
    // The stand-in creates its record before it writes the line.
    std::vector<InterpreterStart> starts;
    for (DWORD waited = 0; starts.empty() && waited < kPatienceMs; waited += 50) {
      Sleep(50);
      starts = RecordedStarts();
    }
    CheckEq(starts.size(), size_t(1), "interpreter starts");
    const std::wstring& ce = r.start->command_line;
    std::wstring batch = AsOnDisk(OnDrive(ce.substr(4, ce.size() - 5)));
    std::wstring line =
        Replace(Replace(table.desktop_command_line, L"{system}", system),
                L"{batch}", batch);
    if (!starts.empty()) {
      CheckEq(starts[0].command_line, Utf8(line), "command line");
      long long ms = (long long)(starts[0].ticks - o.start_ticks) / 10000;
      long long wanted = r.wait ? *r.wait : 0;
      Check(ms >= wanted, "interpreter started after " + std::to_string(ms) +
                              " ms, wait " + std::to_string(wanted));
    }
  } else {
    Sleep(300);
    Check(!Exists(kRecord), "no interpreter started");
  }
  contract::Value after = ReadWaitValue();
  Check(after == r.after, "Wait afterwards: " + Describe(after) + ", want " +
                              Describe(r.after));
  return "";
}

void ContractRows() {
  contract::Table table = contract::ReadTable("C:\\olm_tools\\cases.txt");
  if (!table.error.empty()) {
    BeginCase("contract table");
    Check(false, table.error);
    return;
  }
  std::map<std::string, std::vector<int>> not_run;
  for (const contract::Row& r : table.rows) {
    std::string why = WhyNotOnDesktop(r);
    if (why.empty())
      why = RunRow(table, r);
    if (!why.empty())
      not_run[why].push_back(r.line);
  }
  size_t skipped = 0;
  for (const auto& [why, lines] : not_run) {
    std::printf("  not run, %s: %zu rows (cases.txt lines", why.c_str(),
                lines.size());
    for (int line : lines)
      std::printf(" %d", line);
    std::printf(")\n");
    skipped += lines.size();
  }
  std::printf("  %zu of %zu rows run here\n", table.rows.size() - skipped,
              table.rows.size());
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
      {"contract", {ContractRows}},
      {"run_mode", {StoredDelayRoundTrip}},
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
