#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host_port.h"

namespace nexinst {

// One registry key: its name as created, its values and subkeys in the order
// they were added.
struct RegKey {
  std::string name;
  std::vector<std::pair<std::string, RegValue>> values;
  std::vector<std::unique_ptr<RegKey>> children;

  RegKey* Child(std::string_view child_name) const;
  RegKey& ChildOrNew(std::string_view child_name);
  RegValue* Value(std::string_view value_name);
};

// The whole registry in memory. The top key's children are the hives
// ("HKEY_LOCAL_MACHINE", ...); the Registry interface works inside
// HKEY_LOCAL_MACHINE. After each change the store callback runs; when it
// reports failure, the change stays in memory and the call returns false
// (DeleteKey: 5).
class RegistryTree : public Registry {
 public:
  static constexpr char kMachineHive[] = "HKEY_LOCAL_MACHINE";

  RegistryTree();
  explicit RegistryTree(std::unique_ptr<RegKey> top);

  const RegKey& top() const { return *m_top; }
  void SetStore(std::function<bool(const RegKey& top)> store) { m_store = std::move(store); }

  bool KeyExists(std::string_view path) const override;
  bool CreateKey(std::string_view path) override;
  std::optional<std::vector<std::string>> SubKeys(std::string_view path) const override;
  std::optional<std::vector<std::pair<std::string, RegValue>>> Values(
      std::string_view path) const override;
  std::optional<RegValue> QueryValue(std::string_view path, std::string_view name) const override;
  bool SetValue(std::string_view path, std::string_view name, const RegValue& value) override;
  bool DeleteValue(std::string_view path, std::string_view name) override;
  long DeleteKey(std::string_view path) override;

 private:
  RegKey* Find(std::string_view path) const;
  bool Store();

  std::unique_ptr<RegKey> m_top;
  std::function<bool(const RegKey&)> m_store;
};

// Splits a key path at backslashes, dropping empty components.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

}  // namespace nexinst
