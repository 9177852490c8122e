#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Every text the settings core shows the user. Patterns keep their printf
// placeholders; Format fills them.
namespace mivo::messages {

inline constexpr std::string_view kUnknownParameterType = "Unknown Setting Parameter Type !";

// Configuration file.
inline constexpr std::string_view kUnableToRead = "Unable to read the Configuration File !";
inline constexpr std::string_view kFileTooLarge =
    "Configuration file size exceeds the internal buffer (%dKBytes) !";
inline constexpr std::string_view kUnableToWrite =
    "Unable to write the Configuration File \"%s\" !";
inline constexpr std::string_view kZeroByteInFile =
    "The Configuration File \"%s\" contains a zero byte and cannot be read as text !";
inline constexpr std::string_view kImportFormatError =
    "Error in the imported settings format : %s\n\nSystem will ignore this setting.";
inline constexpr std::string_view kSaved =
    "Save settings to the configuration file \"%s\".\t\t\t\n\nFor security reason, the settings "
    "in Network Security and Phone Lock Password will not be saved.";
inline constexpr std::string_view kCorrectedLineTooLarge =
    "The update setting plus configuration file size exceed the internal buffer (%dKBytes) !";
inline constexpr std::string_view kCorrectedLineTooLong =
    "The length of setting parameter and setting value is too long !";
inline constexpr std::string_view kSaveLogText = "Save settings to configuration file";
inline constexpr int kSaveLogType = 7;

// Network profile checks.
inline constexpr std::string_view kProfileNameEmpty = "Profile Name %d CAN NOT Be Empty!";
inline constexpr std::string_view kProfileNameDuplicate =
    "Network profile names should not be duplicate !!";
inline constexpr std::string_view kSsidEmpty =
    "Please setup the string of Profile %d SSID if type is \"Specify\" !";
inline constexpr std::string_view kWepKeyMissing =
    "Please setup the Profile %d WEP Key #%d if Authentication Type is SharedKey !";
inline constexpr std::string_view kWepKeyLength =
    "Invalid WEP key length, Profile #%d WEP Key #%d length should be %d";
inline constexpr std::string_view kHexNotEmpty =
    "HEX Password of Profile %d should be empty if authentication type is not AKM !!";
inline constexpr std::string_view kHexFormat =
    "Please config the HEX Password of WPA Pre-SharedKey in Profile %d as a %d digit hex (0-9,A-F) "
    "number !";
inline constexpr std::string_view kAsciiNotEmpty =
    "ASCII Password of Profile %d should be empty if authentication type is not AKM !!";
inline constexpr std::string_view kAsciiFormat =
    "Please config the ASCII Password of WPA Pre-SharedKey in Profile %d as a %d ~ %d digit number "
    "!";

// Phone settings checks.
inline constexpr std::string_view kRingListMissing =
    "Ring list file \"%s\" does not exist!\n\nPlease specify a proper filename and path.";
inline constexpr std::string_view kRingToneMissing =
    "Ring tone file \"%s\" is not exist!\n\nPlease specify the correct filename and path in ring "
    "list file.";
inline constexpr std::string_view kVdpInterval =
    "Please input the VDP Transmit Interval value between %d to %d !!!";
inline constexpr std::string_view kVdpTtl =
    "Please input the VDP Time to Live value between %d to %d !!!";

// Firmware image file check.
inline constexpr std::string_view kFirmwareMissing =
    "Firmware image file \"%s\" does not exist!\n\nPlease specify a proper filename and path.";
inline constexpr std::string_view kFirmwareExtension =
    "The proper firmware image filename extension should be \"%s\" or \"%s\"";
inline constexpr int kIncorrectFirmwareVersionCode = 205;

// Texts of the check codes of Check value and Parse line (0, 1, 2, 3, 201, 202, 203),
// the same words as the phone error table of the link shows for these codes.
// "Unknown error !" for any other code.
inline std::string_view CheckCodeText(int code) {
  switch (code) {
    case 0:
      return "No error";
    case 1:
      return "String length is too long.";
    case 2:
      return "Number is out of range.";
    case 3:
      return "Incorrect IP address format.";
    case 201:
      return "Unknown setting parameter.";
    case 202:
      return "Setting value is not available.";
    case 203:
      return "No equal sign '=' between setting parameter and setting value.";
    default:
      return "Unknown error !";
  }
}

// printf-style filling of one of the patterns above; arguments are ints and
// zero-terminated strings, as the pattern's %d and %s ask.
template <typename... Args>
std::string Format(std::string_view pattern, Args... args) {
  const std::string format(pattern);
  const int length = std::snprintf(nullptr, 0, format.c_str(), args...);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format.c_str(), args...);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace mivo::messages
