// Every row of the contract table, one test each, on the fake platform.
#include <cctype>
#include <string>
#include <vector>

#include "tests/contract/contract_table.h"
#include "tests/unit/launcher_test.h"

namespace olm {
namespace {

const contract::Table& Table() {
  static const contract::Table table = contract::ReadTable(OLM_CONTRACT_TABLE);
  return table;
}

class ContractTest : public LauncherTest,
                     public ::testing::WithParamInterface<size_t> {
 protected:
  const contract::Row& row() const { return Table().rows[GetParam()]; }

  void SetUpSystem(const contract::Row& r) {
    fake_.module_path = r.module;
    fake_.module_name_system = r.system == "ce6"       ? ModuleNameSystem::kCe6
                               : r.system == "desktop" ? ModuleNameSystem::kDesktopXp
                                                       : ModuleNameSystem::kCe5;
    fake_.module_path_query_fails = r.Refuses("GetModuleFileNameW");
    fake_.open_fails = r.Refuses("RegOpenKeyExW");
    fake_.create_fails = r.Refuses("RegCreateKeyExW");
    fake_.set_fails = r.Refuses("RegSetValueExW");
    fake_.flush_result = r.FlushAnswer();
    fake_.create_process_result = r.Refuses("CreateProcessW") ? 0 : 1;
    if (r.stored.kind != contract::Value::kNoKey)
      fake_.registry[kExpectedWaitKeyPath];
    if (r.stored.kind == contract::Value::kValue)
      StoreWait(r.stored.type, r.stored.bytes);
  }

  contract::Value WaitAfter() const {
    contract::Value v;
    if (fake_.registry.count(kExpectedWaitKeyPath))
      v.kind = contract::Value::kNoValue;
    if (const RegistryValue* wait = fake_.StoredWait())
      v = {contract::Value::kValue, wait->type, wait->bytes};
    return v;
  }
};

TEST(ContractTable, IsReadWhole) {
  EXPECT_EQ(Table().error, "");
}

TEST_P(ContractTest, Row) {
  const contract::Row& r = row();
  SCOPED_TRACE(testing::Message() << "cases.txt:" << r.line << " " << r.name);
  SetUpSystem(r);

  EXPECT_EQ(Run(r.argument ? r.argument->c_str() : nullptr), r.status);
  if (r.box)
    ExpectOneBox(r.box->text, r.box->caption, r.box->style);
  else
    EXPECT_TRUE(fake_.boxes.empty());
  EXPECT_EQ(fake_.waits, r.wait ? std::vector<Dword>{*r.wait}
                                : std::vector<Dword>{});
  if (r.start) {
    ASSERT_EQ(fake_.starts.size(), 1u);
    EXPECT_EQ(fake_.starts[0].application, r.start->application);
    EXPECT_EQ(fake_.starts[0].command_line, r.start->command_line);
    EXPECT_EQ(fake_.starts[0].waits_before, fake_.waits.size());
    EXPECT_EQ(fake_.registry_writes, 0) << "run mode wrote the registry";
  } else {
    EXPECT_TRUE(fake_.starts.empty());
  }
  contract::Value after = WaitAfter();
  EXPECT_TRUE(after == r.after) << "Wait afterwards of another kind, type or bytes";

  // What only the fake sees: the buffer asked for, the key requests and
  // their rights, and a flush after every store whatever it answers.
  EXPECT_EQ(fake_.module_path_capacity, 127u);
  ASSERT_LE(fake_.key_requests.size(), 1u);
  for (const KeyRequest& k : fake_.key_requests) {
    EXPECT_EQ(k.sub_key, kExpectedWaitKeyPath);
    EXPECT_EQ(k.options, 0u);
    EXPECT_EQ(k.access, k.call == L"create" ? 0xF003Fu : 0u);
  }
  bool stored_now = r.status == 0 && !r.start;
  EXPECT_EQ(fake_.flushes, stored_now ? 1 : 0);
  EXPECT_EQ(fake_.bad_keys, 0) << "a key used that was never opened";
}

std::string RowName(const testing::TestParamInfo<size_t>& info) {
  std::string name = std::to_string(Table().rows[info.param].line) + "_";
  for (char c : Table().rows[info.param].name)
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ContractTest,
                         ::testing::Range<size_t>(0, Table().rows.size()),
                         RowName);

}  // namespace
}  // namespace olm
