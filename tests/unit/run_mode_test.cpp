// Run mode: module path, start delay and the interpreter's command line.
#include <string>
#include <vector>

#include "launcher/batch_launch.h"
#include "tests/unit/launcher_test.h"

namespace olm {
namespace {

const wchar_t kUnexpected[] = L"Unexpected module name!";
const wchar_t kStartCaption[] = L"OLM Init Failure";

// A path of `dot` units, then '.', then `extension`.
std::wstring PathWithDotAt(size_t dot, const std::wstring& extension) {
  return L"\\" + std::wstring(dot - 1, L'a') + L"." + extension;
}

struct StoredWaitCase {
  const char* name;
  bool has_key;
  Dword type;
  std::vector<unsigned char> bytes;  // empty with has_value false: no value
  bool has_value;
  std::vector<Dword> waits;
  bool open_refused = false;
};

TEST_F(LauncherTest, WaitsForTheStoredDelayThenLaunches) {
  const StoredWaitCase cases[] = {
      {"no key", false, 0, {}, false, {}},
      {"key without value", true, 0, {}, false, {}},
      {"dword 0", true, 4, {0, 0, 0, 0}, true, {0}},
      {"dword 500", true, 4, {0xF4, 0x01, 0, 0}, true, {500}},
      {"raw bytes", true, 3, {0x78, 0x56, 0x34, 0x12}, true, {0x12345678}},
      {"two bytes", true, 3, {0xF4, 0x01}, true, {500}},
      {"no bytes", true, 3, {}, true, {0}},
      {"five bytes", true, 3, {0xF4, 0x01, 0, 0, 0}, true, {}},
      {"text longer than 4 bytes",
       true,
       1,
       {'5', 0, '0', 0, '0', 0, 0, 0},
       true,
       {}},
      {"all ones waits forever", true, 4, {0xFF, 0xFF, 0xFF, 0xFF}, true, {}},
      {"one below all ones",
       true,
       4,
       {0xFE, 0xFF, 0xFF, 0xFF},
       true,
       {0xFFFFFFFEu}},
      {"key refused", true, 4, {0xF4, 0x01, 0, 0}, true, {}, true},
  };
  for (const StoredWaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    fake_ = FakePlatform();
    if (c.has_key)
      fake_.registry[kExpectedWaitKeyPath];
    if (c.has_value)
      StoreWait(c.type, c.bytes);
    fake_.open_fails = c.open_refused;

    EXPECT_EQ(Run(L""), 0);
    EXPECT_EQ(fake_.waits, c.waits);
    ASSERT_EQ(fake_.starts.size(), 1u);
    EXPECT_EQ(fake_.starts[0].waits_before, c.waits.size());
    EXPECT_TRUE(fake_.boxes.empty());
    EXPECT_EQ(fake_.registry_writes, 0);
    ExpectOneKeyRequest(L"open", 0u);
    EXPECT_EQ(fake_.open_keys, 0);
    EXPECT_EQ(fake_.bad_keys, 0) << "a key used that was never opened";
  }
}

TEST_F(LauncherTest, AnyTextButTheSwitchRunsAndIsNotPassedOn) {
  const wchar_t* const texts[] = {nullptr, L"",     L" -w500",     L"\t/w500",
                                  L"/x",   L"w500", L"-x500",      L"-",
                                  L"/",    L"-v",   L"OlmInit.bat"};
  for (const wchar_t* text : texts) {
    SCOPED_TRACE(text ? std::string(text, text + wcslen(text)) : "null");
    fake_ = FakePlatform();
    EXPECT_EQ(Run(text), 0);
    ASSERT_EQ(fake_.starts.size(), 1u);
    EXPECT_EQ(fake_.starts[0].application, L"\\Windows\\cmd.exe");
    EXPECT_EQ(fake_.starts[0].command_line, L"/C \"\\Windows\\OlmInit.bat\"");
    EXPECT_EQ(fake_.registry_writes, 0);
    EXPECT_TRUE(fake_.boxes.empty());
  }
}

struct ModulePathCase {
  const char* name;
  std::wstring module_path;
  std::wstring batch_path;  // empty: refused as an unexpected module name
};

TEST_F(LauncherTest, BatchPathIsTheModulePathWithExtensionBat) {
  const ModulePathCase cases[] = {
      {"plain", L"\\Windows\\OlmInit.exe", L"\\Windows\\OlmInit.bat"},
      {"blanks", L"\\Program Files\\Olm Tools\\OlmInit.exe",
       L"\\Program Files\\Olm Tools\\OlmInit.bat"},
      {"short extension", L"\\Windows\\OlmInit.e", L"\\Windows\\OlmInit.bat"},
      {"long extension", L"\\Windows\\OlmInit.exe1", L"\\Windows\\OlmInit.bat"},
      {"trailing dot", L"\\Windows\\OlmInit.", L"\\Windows\\OlmInit.bat"},
      {"last dot of the name", L"\\Windows\\Olm.Init.exe",
       L"\\Windows\\Olm.Init.bat"},
      {"dot in a folder too", L"\\Olm.Dir\\OlmInit.exe",
       L"\\Olm.Dir\\OlmInit.bat"},
      {"slashes", L"/Storage Card/OlmInit.exe", L"/Storage Card/OlmInit.bat"},
      {"percent in the extension only", L"\\Windows\\OlmInit.e%e",
       L"\\Windows\\OlmInit.bat"},
      {"percent opening the extension", L"\\Windows\\OlmInit.%xe",
       L"\\Windows\\OlmInit.bat"},
      {"percent in a folder", L"\\%OS%\\OlmInit.exe", L""},
      {"percent in the name", L"\\Windows\\Olm%Init.exe", L""},
      {"percent right before the dot", L"\\Windows\\OlmInit%.exe", L""},
      {"no dot", L"\\Windows\\OlmInit", L""},
      {"dot only in a folder", L"\\Olm.Dir\\OlmInit", L""},
      {"dot only in a folder, slash", L"/Olm.Dir/OlmInit", L""},
      {"empty path", L"", L""},
      // The command line holds 5 units and a terminator besides the batch
      // path, so a '.' at 118 is the last that fits.
      {"dot at 118", PathWithDotAt(118, L"exe123"), PathWithDotAt(118, L"bat")},
      {"dot at 119", PathWithDotAt(119, L"exe"), L""},
      {"126 units", PathWithDotAt(122, L"exe"), L""},
      {"126 units may be cut, dot at 118", PathWithDotAt(118, L"exe1234"), L""},
      {"127 units is cut", PathWithDotAt(123, L"exe"), L""},
      {"far too long", PathWithDotAt(100, std::wstring(200, L'e')), L""},
  };
  for (const ModulePathCase& c : cases) {
    SCOPED_TRACE(c.name);
    fake_ = FakePlatform();
    fake_.module_path = c.module_path;
    int status = Run(L"");
    if (c.batch_path.empty()) {
      EXPECT_EQ(status, -1);
      ExpectOneBox(kUnexpected, kStartCaption);
      EXPECT_TRUE(fake_.starts.empty());
      continue;
    }
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fake_.boxes.empty());
    ASSERT_EQ(fake_.starts.size(), 1u);
    EXPECT_EQ(fake_.starts[0].command_line, L"/C \"" + c.batch_path + L"\"");
  }
}

// Every path length around the buffer's bounds, with extensions of 0 to 5
// units: the module path must fit 125 units (126 may have been cut), and
// /C "<batch path>" 127.
TEST_F(LauncherTest, PathsAroundTheBufferBoundsLaunchOnlyWhenWhole) {
  for (size_t length = 116; length <= 130; ++length) {
    for (size_t extension = 0; extension <= 5; ++extension) {
      SCOPED_TRACE(testing::Message()
                   << "length " << length << ", extension " << extension);
      fake_ = FakePlatform();
      size_t dot = length - extension - 1;
      fake_.module_path = PathWithDotAt(dot, std::wstring(extension, L'x'));
      ASSERT_EQ(fake_.module_path.size(), length);
      std::wstring command_line = L"/C \"" + PathWithDotAt(dot, L"bat") + L"\"";
      bool fits = length <= 125 && command_line.size() <= 127;
      EXPECT_EQ(Run(L""), fits ? 0 : -1);
      if (fits) {
        ASSERT_EQ(fake_.starts.size(), 1u);
        EXPECT_EQ(fake_.starts[0].command_line, command_line);
      } else {
        ExpectOneBox(kUnexpected, kStartCaption);
        EXPECT_TRUE(fake_.starts.empty());
      }
    }
  }
}

struct UnusableModuleCase {
  const char* name;
  std::wstring module_path;
  bool query_fails;
  ModuleNameSystem system = ModuleNameSystem::kCe5;
};

// A file name that a cut would leave with another extension's '.'.
const std::wstring kCutToToolsBat = L"\\Flash Disk\\" +
                                    std::wstring(100, L'a') +
                                    L"\\Tools.v2-archive-2015\\OlmInit.exe";

TEST_F(LauncherTest, UnusableModulePathEndsBeforeTheRegistryInEitherMode) {
  const UnusableModuleCase cases[] = {
      {"no dot", L"\\Windows\\OlmInit", false},
      {"query fails", L"\\Windows\\OlmInit.exe", true},
      // Fills the units asked for but the terminator: it may have been cut.
      {"126 units", PathWithDotAt(122, L"exe"), false},
      {"127 units", PathWithDotAt(123, L"exe"), false},
      {"146 units, CE 5.0", kCutToToolsBat, false},
      {"146 units, CE 6.0", kCutToToolsBat, false, ModuleNameSystem::kCe6},
      {"146 units, XP", kCutToToolsBat, false, ModuleNameSystem::kDesktopXp},
      {"167 units, CE 5.0",
       L"\\Windows\\Olm." + std::wstring(150, L'a') + L".exe", false},
  };
  const wchar_t* const texts[] = {L"", L"-w500"};
  for (const UnusableModuleCase& c : cases) {
    for (const wchar_t* text : texts) {
      SCOPED_TRACE(testing::Message() << c.name << ", switch " << (*text != 0));
      fake_ = FakePlatform();
      fake_.module_path = c.module_path;
      fake_.module_path_query_fails = c.query_fails;
      fake_.module_name_system = c.system;
      EXPECT_EQ(Run(text), -1);
      EXPECT_EQ(fake_.module_path_capacity, 127u);
      ExpectOneBox(kUnexpected, kStartCaption);
      EXPECT_TRUE(fake_.key_requests.empty());
      EXPECT_TRUE(fake_.starts.empty());
      EXPECT_TRUE(fake_.waits.empty());
    }
  }
}

TEST_F(LauncherTest, RefusedInterpreterStartShowsItsPathAndReturnsMinusTwo) {
  // A batch path longer than the failure text must not show behind it.
  const std::wstring module_paths[] = {L"\\Windows\\OlmInit.exe",
                                       PathWithDotAt(100, L"exe")};
  for (const std::wstring& module_path : module_paths) {
    SCOPED_TRACE(module_path.size());
    fake_ = FakePlatform();
    fake_.module_path = module_path;
    fake_.create_process_result = 0;
    StoreWait(4, {10, 0, 0, 0});
    EXPECT_EQ(Run(L""), -2);
    ExpectOneBox(L"Create process '\\Windows\\cmd.exe' failed!", kStartCaption);
    EXPECT_EQ(fake_.waits, std::vector<Dword>{10});
    EXPECT_EQ(fake_.starts.size(), 1u);
  }
}

}  // namespace
}  // namespace olm
