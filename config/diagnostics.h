#pragma once
// Diagnostic lines of the launcher: narrow texts, each written as one piece followed by CR LF
// to the platform's debug output. The fixed Chinese texts are GBK bytes, as on a Chinese
// Windows; they never reach the player.

#include <string_view>

// "读取配置文件失败！": a configuration file is missing, unreadable or empty.
inline constexpr std::string_view kDiagConfigReadFailed =
    "\xB6\xC1\xC8\xA1\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1";
// "读取配置字节流失败！": the decoded bytes of a configuration file are not a record.
inline constexpr std::string_view kDiagConfigParseFailed =
    "\xB6\xC1\xC8\xA1\xC5\xE4\xD6\xC3\xD7\xD6\xBD\xDA\xC1\xF7\xCA\xA7\xB0\xDC\xA3\xA1";
// "保存配置文件失败！": the configuration file cannot be written.
inline constexpr std::string_view kDiagConfigSaveFailed =
    "\xB1\xA3\xB4\xE6\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1";

// Writes `text` followed by "\r\n", as one piece, to the debug output.
void WriteDiagnosticLine(std::string_view text);
