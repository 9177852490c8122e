#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reading the phone's reply lines. Shared by the command channel and the operation
// windows. A line is given without its CR LF; texts come back cut to 255 characters.

namespace mivo::link {

// 1 when the line holds prefix, one space and the command word, anywhere; else 0.
int MatchReply(std::string_view line, std::string_view prefix, std::string_view command);

// Reads a confirmation of command. status and text start as 0 and empty. Returns 0 when
// the line is no "CNF" line for the command, when fewer than two characters follow the
// command word, or when a status of login, upload, fwupgrade or mode is followed by more
// text (status is set even then). logout, settimeout and probe need no more than the
// words. import, getmac and getfirmwareinfo give the rest of the line as text, without
// surrounding blanks and tabs.
int ParseReply(std::string_view line, std::string_view command, std::int32_t& status,
               std::string& text);

// Reads "IND <command> <word> <text>" for import and upload; the text loses every CR, LF
// and double quote. Returns 0 (outputs empty) for any other line, including one without
// a space after the word.
int ParseIndication(std::string_view line, std::string_view command, std::string& word,
                    std::string& text);

// Reads "FW:%s BSP:%s BOOT:%s"; a missing part stays empty.
void ParseFirmwareInfo(std::string_view text, std::string& firmware, std::string& bsp,
                       std::string& boot);

}  // namespace mivo::link
