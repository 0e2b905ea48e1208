// Runs the whole entry, in every mode and failure path, with every heap
// allocation counted while the launcher's own code runs. Not for sanitizer
// builds, whose runtime owns malloc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "launcher/launcher.h"
#include "tests/fake_platform.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {

bool g_counting = false;
int g_allocations = 0;

void* Note(void* block) {
  if (g_counting)
    ++g_allocations;
  return block;
}

}  // namespace

extern "C" void* malloc(size_t size) {
  return Note(__libc_malloc(size));
}
extern "C" void* calloc(size_t n, size_t size) {
  return Note(__libc_calloc(n, size));
}
extern "C" void* realloc(void* block, size_t size) {
  return Note(__libc_realloc(block, size));
}
extern "C" void free(void* block) {
  __libc_free(block);
}
void* operator new(size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr)
    throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, size_t) noexcept {
  std::free(block);
}

namespace olm {
namespace {

// Counts only what the launcher allocates: the fake's own bookkeeping, done
// inside each platform call, is not counted.
class UncountedCalls : public Platform {
 public:
  explicit UncountedCalls(FakePlatform& fake) : fake_(fake) {}

  Dword GetModuleFileNameW(void* i, wchar_t* p, Dword c) override {
    Pause pause;
    return fake_.GetModuleFileNameW(i, p, c);
  }
  long RegOpenKeyExW(const wchar_t* s, Dword o, Dword a,
                     RegistryKey* k) override {
    Pause pause;
    return fake_.RegOpenKeyExW(s, o, a, k);
  }
  long RegQueryValueExW(RegistryKey k, const wchar_t* n, Dword* t,
                        unsigned char* d, Dword* s) override {
    Pause pause;
    return fake_.RegQueryValueExW(k, n, t, d, s);
  }
  long RegCreateKeyExW(const wchar_t* s, Dword o, Dword a,
                       RegistryKey* k) override {
    Pause pause;
    return fake_.RegCreateKeyExW(s, o, a, k);
  }
  long RegSetValueExW(RegistryKey k, const wchar_t* n, Dword t,
                      const unsigned char* d, Dword s) override {
    Pause pause;
    return fake_.RegSetValueExW(k, n, t, d, s);
  }
  long RegFlushKey(RegistryKey k) override {
    Pause pause;
    return fake_.RegFlushKey(k);
  }
  long RegCloseKey(RegistryKey k) override {
    Pause pause;
    return fake_.RegCloseKey(k);
  }
  void Sleep(Dword m) override {
    Pause pause;
    fake_.Sleep(m);
  }
  int CreateProcessW(const wchar_t* a, wchar_t* c) override {
    Pause pause;
    return fake_.CreateProcessW(a, c);
  }
  int MessageBoxW(const wchar_t* t, const wchar_t* c, Dword s) override {
    Pause pause;
    return fake_.MessageBoxW(t, c, s);
  }

 private:
  struct Pause {
    Pause() { g_counting = false; }
    ~Pause() { g_counting = true; }
  };
  FakePlatform& fake_;
};

int CountedRun(FakePlatform& fake, const wchar_t* argument_text,
               int* allocations) {
  UncountedCalls platform(fake);
  g_allocations = 0;
  g_counting = true;
  int status = LauncherEntry(platform, nullptr, argument_text);
  g_counting = false;
  *allocations = g_allocations;
  return status;
}

TEST(NoHeapTest, TheCounterSeesAnAllocation) {
  g_allocations = 0;
  g_counting = true;
  delete new int(1);
  g_counting = false;
  EXPECT_EQ(g_allocations, 1);
}

TEST(NoHeapTest, NoModeOrFailurePathAllocates) {
  struct Case {
    const char* name;
    const wchar_t* argument_text;
    void (*set_up)(FakePlatform&);
    int status;
  };
  const Case cases[] = {
      {"run, no key", L"", [](FakePlatform&) {}, 0},
      {"run, delay", nullptr,
       [](FakePlatform& f) {
         f.registry[kExpectedWaitKeyPath][kExpectedWaitValueName] = {
             4, {5, 0, 0, 0}};
       },
       0},
      {"run, start refused", L"",
       [](FakePlatform& f) { f.create_process_result = 0; }, -2},
      {"run, path too long", L"",
       [](FakePlatform& f) {
         f.module_path = L"\\" + std::wstring(120, L'a') + L".exe";
       },
       -1},
      {"no extension", L"-w5",
       [](FakePlatform& f) { f.module_path = L"\\OlmInit"; }, -1},
      {"query fails", L"",
       [](FakePlatform& f) { f.module_path_query_fails = true; }, -1},
      {"set delay", L"-w500", [](FakePlatform&) {}, 0},
      {"usage", L"-w500 ", [](FakePlatform&) {}, -1},
      {"create fails", L"/W1", [](FakePlatform& f) { f.create_fails = true; },
       -1},
      {"set fails", L"/W1", [](FakePlatform& f) { f.set_fails = true; }, -1},
      {"flush fails", L"/W1", [](FakePlatform& f) { f.flush_result = 5; }, 0},
      {"path holds %", L"",
       [](FakePlatform& f) { f.module_path = L"\\\\%OS%\\\\OlmInit.exe"; }, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    c.set_up(fake);
    int allocations = -1;
    EXPECT_EQ(CountedRun(fake, c.argument_text, &allocations), c.status);
    EXPECT_EQ(allocations, 0);
  }
}

}  // namespace
}  // namespace olm
