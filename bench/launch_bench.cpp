// Measures, inside a Wine prefix prepared by scripts/bench, how long each
// launcher takes from its own start to the batch file's first line, and how
// late OlmInit starts the batch file beyond a stored delay.
// Usage: launch_bench.exe RUNS
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kOlmInit[] = L"C:\\bench\\OlmInit.exe";
const wchar_t kBaseline[] = L"C:\\bench\\baseline_launcher.exe";
const wchar_t kBatch[] = L"C:\\bench\\OlmInit.bat";
const wchar_t kMarker[] = L"C:\\bench\\first_line.txt";
const wchar_t kKey[] = L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit";

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * double(count.QuadPart) / double(frequency.QuadPart);
}

void StoreWait(DWORD milliseconds) {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
  if (milliseconds == 0)
    return;
  HKEY key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  RegSetValueExW(key, L"Wait", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&milliseconds), 4);
  RegCloseKey(key);
}

// Milliseconds from starting `program` to the batch file's first line, or a
// negative number when the batch file did not run.
double TimeToFirstLine(const wchar_t* program, const wchar_t* arguments) {
  DeleteFileW(kMarker);
  std::wstring line = std::wstring(L"\"") + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  double started = NowMs();
  if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return -1;
  double elapsed = -1;
  while (NowMs() - started < 20000) {
    if (GetFileAttributesW(kMarker) != INVALID_FILE_ATTRIBUTES) {
      elapsed = NowMs() - started;
      break;
    }
    Sleep(1);
  }
  WaitForSingleObject(process.hProcess, 20000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  Sleep(200);  // let the interpreter end before the next run
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Prints one row: the median of `runs` measurements less `offset`.
double Row(const char* name, int runs, const wchar_t* program,
           const wchar_t* arguments, double offset) {
  std::vector<double> times;
  TimeToFirstLine(program, arguments);  // warm-up, not counted
  for (int i = 0; i < runs; ++i) {
    double ms = TimeToFirstLine(program, arguments);
    if (ms < 0) {
      std::printf("| %-44s | the batch file did not run |\n", name);
      return -1;
    }
    times.push_back(ms - offset);
  }
  double median = Median(times);
  std::printf("| %-44s | %8.1f ms | %5.1f to %6.1f ms |\n", name, median,
              *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()));
  std::fflush(stdout);
  return median;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = argc > 1 ? _wtoi(argv[1]) : 10;
  std::printf("| %-44s | %11s | %18s |\n", "measure (median of runs)", "median",
              "range");
  std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(),
              std::string(13, '-').c_str(), std::string(20, '-').c_str());
  StoreWait(0);
  double olminit =
      Row("launch to first line, OlmInit.exe", runs, kOlmInit, L"", 0);
  double baseline =
      Row("launch to first line, baseline", runs, kBaseline, kBatch, 0);
  if (olminit > 0 && baseline > 0)
    std::printf("| %-44s | %8.2f x  | %18s |\n",
                "launch cost ratio, OlmInit / baseline", olminit / baseline,
                "");
  for (DWORD delay : {250u, 1000u}) {
    StoreWait(delay);
    std::string name = "lateness beyond Wait " + std::to_string(delay) + " ms";
    Row(name.c_str(), runs, kOlmInit, L"", delay);
  }
  StoreWait(0);
  return olminit > 0 && baseline > 0 ? 0 : 1;
}
