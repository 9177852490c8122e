#pragma once

// The user-visible words and the debugger traces of the install control
// program, spelled exactly as the program shows them. printf-style
// placeholders are filled by the caller.

namespace nexinst::msg {

// Message boxes and windows.
inline constexpr char kWarningCaption[] = "Warning";
inline constexpr char kInformationCaption[] = "Nexinst";
inline constexpr char kNoHardwareIds[] = "No haredware IDs!";
inline constexpr char kUninstallCanceled[] = "Uninstall of Wireless LAN Card canceled.";
inline constexpr char kUninstallCaption[] = "Uninstall Wireless LAN Card Driver and Utility";
inline constexpr const char* kUninstallLines[] = {
    "The Uninstall procedure will:",
    "* Remove Wireless LAN Cards from Control Panel",
    "* Remove Wireless LAN Card Driver files",
    "* Remove Wireless LAN Card Utility files",
    "Do you want to continue?",
};
inline constexpr char kUsageCaption[] = "Nexinst Command Line Arguments";
inline constexpr char kAirtrakShutdownMessage[] = "Shutdown Airtrak.exe Message";

// Removal of INF files.
inline constexpr char kAnsiCompare[] = "Remove_INF_Files: ANSI Compare!\n";
inline constexpr char kUnicodeCompare[] = "Remove_INF_Files: UNICODE Compare on Win2K/XP!\n";
inline constexpr char kInfPreserved[] = "The INF (%s) will be preserved!\n";
inline constexpr char kNumberOfIds[] = "Number of iNumOfIDs = %d";
inline constexpr char kPnpIdOf[] = "strPnPID of %d = %s";
inline constexpr char kInvalidPnpId[] = "Remove_INF_by_PNPID: Invalid PnP-ID!\n";
inline constexpr char kCannotOpenInf[] = "Cannot open INF: %s\n";
inline constexpr char kCannotReadInf[] = "Cannot read data from INF: %s\n";
inline constexpr char kDeleteInf[] = "Delete INF: %s\n";

// Unknown devices.
inline constexpr char kRemoveUnknownDevice[] = "Remove_Unknown_Device\n";
inline constexpr char kRegDeleteKeyStatus[] =
    "Remove_Unknown_Device: call RegDeleteKey --> status=0x%x\n";

// Device state.
inline constexpr char kDeviceEnabled[] = "Get_Device_State: device is enabled\n";
inline constexpr char kDeviceDisabled[] = "Get_Device_State: device is disabled\n";

// Regulatory domain and the wait for installation.
inline constexpr char kDomain[] = "DetermineWLANRegDomain: domain=%d\n";
inline constexpr char kSetDomainValue[] = "Set_Corvane_Default_Domain: set value '%s' to %s\n";
inline constexpr char kWaitBadId[] = "Wait_Device_install: error PnP-ID in the 'install.ini'...\n";
inline constexpr char kWaitUnknownBus[] = "Wait_Device_install: unknown card interface...\n";
inline constexpr char kWaitNoDevice[] =
    "Wait_Device_install: No device to be checked, just return!\n";
inline constexpr char kWaitClassTimeout[] = "Wait_Device_install: Wait OS time out for 'Class'!\n";
inline constexpr char kWaitClassNet[] = "Wait_Device_install: wait Class_Net!\n";
inline constexpr char kWaitConfigFlags[] = "Wait_Device_install: ConfigFlags=0x%x\n";
inline constexpr char kWaitInstalledOk[] = "Wait_Device_install: Device is installed ok!\n";
inline constexpr char kWaitForConfigFlags[] = "Wait_Device_install: wait ConfigFlags!\n";
inline constexpr char kWaitDelay20[] =
    "Wait_Device_install: delay 20 seconds for O.S to catch up!\n";
inline constexpr char kWaitCheckState[] = "Wait_Device_install: check device state...\n";
inline constexpr char kWaitSetDomain[] = "Wait_Device_install: Set default domain for corvane...\n";
inline constexpr char kWaitDisable[] = "Wait_Device_install: Disable the device...\n";
inline constexpr char kWaitDelay5[] = "Wait_Device_install: delay 5 seconds for O.S to catch up!\n";
inline constexpr char kWaitEnable[] = "Wait_Device_install: Enable the device...\n";
inline constexpr char kWaitSuccess[] = "Wait_Device_install: return successfully\n";

// Zero-configuration service.
inline constexpr char kChangeConfigOk[] =
    "Enable_XP_Zero_Config_Service: call ChangeServiceConfig ok!";
inline constexpr char kChangeConfigError[] =
    "Enable_XP_Zero_Config_Service: Error ChangeServiceConfig!!!";
inline constexpr char kEnableOpenService[] = "Enable_XP_Zero_Config_Service: Error OpenService!!!";
inline constexpr char kEnableLock[] = "Enable_XP_Zero_Config_Service: Error LockServiceDatabase!!!";
inline constexpr char kEnableOpenManager[] =
    "Enable_XP_Zero_Config_Service: Error OpenSCManager!!!";
inline constexpr char kStatusPrefix[] = "Get_WZCSVC_status";
inline constexpr char kRegistryPrefix[] = "Create_XP_Zero_Config_Service_Registry";
inline constexpr char kErrorOpenService[] = "%s: Error OpenService!!!";
inline constexpr char kErrorOpenManager[] = "%s: Error OpenSCManager!!!";
inline constexpr char kNoCardFound[] =
    "Create_XP_Zero_Config_Service_Registry_Async: No card found!\n";
inline constexpr char kFix1Success[] = "Fix NetBand #1 success (NIC root)!\n";
inline constexpr char kFix1Failed[] = "Fix NetBand #1 failed (NIC root)!\n";
inline constexpr char kFix2Success[] = "Fix NetBand #2 success (all profiles)!\n";
inline constexpr char kFix2Failed[] = "Fix NetBand #2 failed (all profiles)!\n";
inline constexpr char kFix3Success[] = "Fix NetBand #3 success (Ndi\\params\\NetBand)!\n";
inline constexpr char kFix3Failed[] = "Fix NetBand #3 failed (Ndi\\params\\NetBand)!\n";
inline constexpr char kFix4Success[] = "Fix NetBand #4 success (Ndi\\params\\NetBand\\enum)!\n";
inline constexpr char kFix4Failed[] = "Fix NetBand #4 failed (Ndi\\params\\NetBand\\enum)!\n";
inline constexpr char kErrorWzcsvcKey[] = "--------- Error WZCSVC KEY -----------\n";
inline constexpr char kErrorKeyEnd[] = "\n-------------------------------------\n\n";
inline constexpr char kErrorReadControlFlags[] =
    "\n--------- Error read WZCSVC 'ControlFlags' -----------\n";
inline constexpr char kErrorSetControlFlags[] =
    "\n--------- Error set WZCSVC 'ControlFlags' -----------\n";
inline constexpr char kErrorShowIconKey[] = "--------- Error Open ShowIcon KEY -----------\n";
inline constexpr char kErrorReadShowIcon[] = "\n--------- Error read ShowIcon key -----------\n";
inline constexpr char kErrorSetShowIcon[] = "\n--------- Error set ShowIcon key -----------\n";
inline constexpr char kShowIconSet[] = "ControlFlags of ShowIcon is set ok!\n";

// Profile conversion.
inline constexpr char kOpenKeyFailed[] = "RegOpenKeyEx is failed\n";
inline constexpr char kQueryUninstallFailed[] = "RegQueryValueEx 'UninstallString' failed\n";
inline constexpr char kNoUnwise[] = "Cannot find 'UNWISE.EXE'\n";
inline constexpr char kDashLine[] = "------------------------\n";
inline constexpr char kNoUnwiseFile[] = "UNWISE.EXE does NOT exists\n";
inline constexpr char kNoInstallLog[] = "INSTALL.LOG does NOT exists\n";
inline constexpr char kNoProfilePro[] = "Profile.Pro doesn't exist";
inline constexpr char kOpenProfileProFailed[] = "Open Profile.Pro is failed!";

}  // namespace nexinst::msg
