#include "registry_tree.h"

#include <algorithm>

#include "text.h"

namespace nexinst {

RegKey* RegKey::Child(std::string_view child_name) const {
  for (const auto& child : children) {
    if (EqualsNoCase(child->name, child_name)) return child.get();
  }
  return nullptr;
}

RegKey& RegKey::ChildOrNew(std::string_view child_name) {
  if (RegKey* child = Child(child_name)) return *child;
  children.push_back(std::make_unique<RegKey>());
  children.back()->name = std::string(child_name);
  return *children.back();
}

RegValue* RegKey::Value(std::string_view value_name) {
  for (auto& entry : values) {
    if (EqualsNoCase(entry.first, value_name)) return &entry.second;
  }
  return nullptr;
}

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    size_t end = path.find('\\');
    std::string_view part = path.substr(0, end);
    if (!part.empty()) parts.push_back(part);
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return parts;
}

RegistryTree::RegistryTree() : RegistryTree(std::make_unique<RegKey>()) {}

RegistryTree::RegistryTree(std::unique_ptr<RegKey> top) : m_top(std::move(top)) {
  m_top->ChildOrNew(kMachineHive);
}

RegKey* RegistryTree::Find(std::string_view path) const {
  RegKey* key = m_top->Child(kMachineHive);
  for (std::string_view part : SplitKeyPath(path)) {
    key = key->Child(part);
    if (!key) return nullptr;
  }
  return key;
}

bool RegistryTree::Store() { return !m_store || m_store(*m_top); }

bool RegistryTree::KeyExists(std::string_view path) const { return Find(path) != nullptr; }

bool RegistryTree::CreateKey(std::string_view path) {
  std::vector<std::string_view> parts = SplitKeyPath(path);
  if (parts.empty()) return false;
  if (Find(path)) return true;
  RegKey* key = m_top->Child(kMachineHive);
  for (std::string_view part : parts) key = &key->ChildOrNew(part);
  return Store();
}

std::optional<std::vector<std::string>> RegistryTree::SubKeys(std::string_view path) const {
  RegKey* key = Find(path);
  if (!key) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& child : key->children) names.push_back(child->name);
  return names;
}

std::optional<std::vector<std::pair<std::string, RegValue>>> RegistryTree::Values(
    std::string_view path) const {
  RegKey* key = Find(path);
  if (!key) return std::nullopt;
  return key->values;
}

std::optional<RegValue> RegistryTree::QueryValue(std::string_view path,
                                                 std::string_view name) const {
  RegKey* key = Find(path);
  if (!key) return std::nullopt;
  RegValue* value = key->Value(name);
  if (!value) return std::nullopt;
  return *value;
}

bool RegistryTree::SetValue(std::string_view path, std::string_view name, const RegValue& value) {
  RegKey* key = Find(path);
  if (!key) return false;
  if (RegValue* existing = key->Value(name)) {
    *existing = value;
  } else {
    key->values.emplace_back(std::string(name), value);
  }
  return Store();
}

bool RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
  RegKey* key = Find(path);
  if (!key) return false;
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const auto& entry) { return EqualsNoCase(entry.first, name); });
  if (it == key->values.end()) return false;
  key->values.erase(it);
  return Store();
}

long RegistryTree::DeleteKey(std::string_view path) {
  std::vector<std::string_view> parts = SplitKeyPath(path);
  if (parts.empty()) return 5;
  std::string_view last = parts.back();
  std::string_view parent_path = path.substr(0, static_cast<size_t>(last.data() - path.data()));
  RegKey* parent = Find(parent_path);
  if (!parent) return 2;
  auto it = std::find_if(parent->children.begin(), parent->children.end(),
                         [&](const auto& child) { return EqualsNoCase(child->name, last); });
  if (it == parent->children.end()) return 2;
  parent->children.erase(it);
  return Store() ? 0 : 5;
}

}  // namespace nexinst
