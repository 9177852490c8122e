// The option table: which operation a command line selects.

#include <cctype>

#include "installer.h"

namespace nexinst {

namespace {

enum class Op {
  kUsage,
  kConvertNuvexProfile,
  kSetHarbekKey,
  kStopZcsvc,
  kStartZcsvc,
  kRegistryZcsvc,
  kAsyncRegZcsvc,
  kClearChkBoxZcsvc,
  kSetChkBoxZcsvc,
  kClearChkBoxShowIcon,
  kSetChkBoxShowIcon,
  kSetCorvaneSku,
  kRemoveUnknownDevice,
  kWaitDeviceInstall,
  kWaitSetCorvaneSku,
  kInstanceId,
  kChkDevnode,
  kQueryState,
  kEnable,
  kDisable,
  kRemoveInf,
  kExitAirtrak,
  kExecAirtrak,
  kExecRadioUtil,
  kLaunchApp,
  kInsPnfOnly,
  kIns,
  kDel,
};

struct OptionWord {
  const char* word;
  Op op;
};

// Searched in this order; the first word found anywhere in the command line
// (case-sensitive) selects the operation.
constexpr OptionWord kOptions[] = {
    {"-Orvik.Ta", Op::kUsage},
    {"-ConvertNuvexProfile", Op::kConvertNuvexProfile},
    {"-SetHarbekKey", Op::kSetHarbekKey},
    {"-stopZCSVC", Op::kStopZcsvc},
    {"-startZCSVC", Op::kStartZcsvc},
    {"-registryZCSVC", Op::kRegistryZcsvc},
    {"-AsyncRegZCSVC", Op::kAsyncRegZcsvc},
    {"-clearChkBoxZCSVC", Op::kClearChkBoxZcsvc},
    {"-setChkBoxZCSVC", Op::kSetChkBoxZcsvc},
    {"-clearChkBoxShowIcon", Op::kClearChkBoxShowIcon},
    {"-SetChkBoxShowIcon", Op::kSetChkBoxShowIcon},
    {"-Set_Corvane_SKU", Op::kSetCorvaneSku},
    {"-RemoveUnknownDevice", Op::kRemoveUnknownDevice},
    {"-WaitDeviceInstall", Op::kWaitDeviceInstall},
    {"-Wait_Set_Corvane_SKU", Op::kWaitSetCorvaneSku},
    {"-instanceID", Op::kInstanceId},
    {"-chk_devnode", Op::kChkDevnode},
    {"-query_state", Op::kQueryState},
    {"-enable", Op::kEnable},
    {"-disable", Op::kDisable},
    {"-RemoveINF", Op::kRemoveInf},
    {"-ExitAirtrak", Op::kExitAirtrak},
    {"-ExecAirtrak", Op::kExecAirtrak},
    {"-ExecRadioUtil", Op::kExecRadioUtil},
    {"-LaunchApp", Op::kLaunchApp},
    {"-ins_PNF_only", Op::kInsPnfOnly},
    {"-ins", Op::kIns},
    {"-del", Op::kDel},
};

// Everything after the option word, leading white space removed.
std::string_view RestOfLine(std::string_view line, size_t pos, std::string_view word) {
  std::string_view rest = line.substr(pos + word.size());
  while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) {
    rest.remove_prefix(1);
  }
  return rest;
}

// From the character just before the option word to the end of the line.
std::string_view ToolArguments(std::string_view line, size_t pos) {
  return line.substr(pos > 0 ? pos - 1 : 0);
}

}  // namespace

int32_t Installer::Dispatch(std::string_view line) {
  for (const OptionWord& option : kOptions) {
    size_t pos = line.find(option.word);
    if (pos == std::string_view::npos) continue;
    std::string_view word = option.word;
    switch (option.op) {
      case Op::kUsage:
        ShowUsage();
        return 0;
      case Op::kConvertNuvexProfile: {
        std::string_view name = WithoutEnclosingQuotes(RestOfLine(line, pos, word));
        if (!name.empty()) ConvertNuvexProfile(name);
        return m_exit_code;
      }
      case Op::kSetHarbekKey:
        SetHarbekKey();
        return m_exit_code;
      case Op::kStopZcsvc:
      case Op::kStartZcsvc:
        if (IsXpOrLater()) Enable_XP_Zero_Config_Service(option.op == Op::kStartZcsvc);
        return m_exit_code;
      case Op::kRegistryZcsvc:
        if (IsXpOrLater()) Create_XP_Zero_Config_Service_Registry();
        return m_exit_code;
      case Op::kAsyncRegZcsvc:
        return AsyncRegZcsvc();
      case Op::kClearChkBoxZcsvc:
      case Op::kSetChkBoxZcsvc:
        return SetZcsvcCheckBox(option.op == Op::kSetChkBoxZcsvc);
      case Op::kClearChkBoxShowIcon:
      case Op::kSetChkBoxShowIcon:
        return SetShowIconCheckBox(option.op == Op::kSetChkBoxShowIcon);
      case Op::kSetCorvaneSku:
        Set_Corvane_Default_Domain();
        return m_exit_code;
      case Op::kRemoveUnknownDevice:
        return RemoveUnknownDevices();
      case Op::kWaitDeviceInstall:
        Wait_Device_install(false);
        return m_exit_code;
      case Op::kWaitSetCorvaneSku:
        Wait_Device_install(true);
        return m_exit_code;
      case Op::kInstanceId:
        RunDeviceTool(ToolArguments(line, pos));
        return m_exit_code;
      case Op::kChkDevnode:
        RunDeviceTool(std::string(ToolArguments(line, pos)) + " \"" + m_ini_path + "\"");
        return m_exit_code;
      case Op::kQueryState:
        QueryDeviceState(ToolArguments(line, pos));
        return m_exit_code;
      case Op::kEnable:
      case Op::kDisable:
        RunDeviceTool(ToolArguments(line, pos));
        return 0;
      case Op::kRemoveInf:
        RemoveInfFiles();
        return 0;
      case Op::kExitAirtrak:
        ExitAirtrak();
        return 0;
      case Op::kExecAirtrak:
        ExecDelayed("Utility/Airtrak.exe");
        return 0;
      case Op::kExecRadioUtil:
        ExecDelayed("Radio/Radio.exe");
        return 0;
      case Op::kLaunchApp:
        LaunchApp(RestOfLine(line, pos, word));
        return 0;
      case Op::kInsPnfOnly:
        InsPnfOnly();
        return 0;
      case Op::kIns:
      case Op::kDel: {
        bool remove = line.find("-del") != std::string_view::npos;
        bool extension = line.find("-del_Extension") != std::string_view::npos;
        InstallOrRemove(line, remove, extension);
        return 0;
      }
    }
  }
  return 0;
}

}  // namespace nexinst
