// The desktop entry's own split of the command line, as the C runtime's.
#include "platform/win32/program_name.h"

#include <gtest/gtest.h>

#include <string>

namespace olm {
namespace {

TEST(ProgramNameTest, ArgumentTextIsWhatFollowsTheNameAndItsBlanks) {
  const struct {
    const wchar_t* command_line;
    const wchar_t* argument_text;
  } cases[] = {
      {L"OlmInit.exe -w500", L"-w500"},
      {L"OlmInit.exe", L""},
      {L"", L""},
      {L"OlmInit.exe   \t -w500 x", L"-w500 x"},
      {L"OlmInit.exe\t/w1", L"/w1"},
      {L"\"C:\\Program Files\\Olm\\OlmInit.exe\" -w500", L"-w500"},
      {L"\"C:\\Program Files\\Olm\\OlmInit.exe\"", L""},
      {L"\"C:\\Program Files\\Olm\\OlmInit.exe\"-w500", L""},
      {L"C:\\\"Program Files\"\\OlmInit.exe /w7", L"/w7"},
      {L"\"C:\\Olm\\OlmInit.exe", L""},
      {L"\"\" -w500", L"-w500"},
      {L"OlmInit.exe  \"quoted arg\"  ", L"\"quoted arg\"  "},
  };
  for (const auto& c : cases) {
    std::wstring line = c.command_line;
    SCOPED_TRACE(std::string(line.begin(), line.end()));
    wchar_t* text = SkipProgramName(&line[0]);
    EXPECT_EQ(std::wstring(text), c.argument_text);
    EXPECT_TRUE(text >= &line[0] && text <= &line[0] + line.size());
  }
}

}  // namespace
}  // namespace olm
