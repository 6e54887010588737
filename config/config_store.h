#pragma once
// The configuration file config.zorv: the Base64 text of a version record, beside the launcher
// and in the client directory of each installation. Directories are narrow Windows-form paths
// that end in a backslash; the file name is appended directly.

#include <string>

#include "config/version_record.h"

inline constexpr char kConfigFileName[] = "config.zorv";

// Loads GetModuleDir() + "config.zorv" into the record (LoadConfigFrom). Always true.
bool LoadConfig(zorv_VersionCheck& record);

// Loads dir + "config.zorv" into the record, replacing what it held. A missing, unreadable or
// empty file writes the diagnostic "读取配置文件失败！" and leaves the record empty; bytes that
// are not a record write "读取配置字节流失败！" and leave the fields read before the fault.
// Always true: the caller goes on with whatever the record holds.
bool LoadConfigFrom(const std::string& dir, zorv_VersionCheck& record);

// Whether dir + "config.zorv" is a configuration file as the launcher writes it: a regular file
// (not a link), readable, whose text decodes into a version record. Writes no diagnostic and
// changes no record. This is what marks a folder as one of the launcher's installations.
bool IsConfigFileIn(const std::string& dir);

// Writes the record as dir + "config.zorv", replacing the file safely (platform::ReplaceFile):
// true when the new file is in place; otherwise the diagnostic "保存配置文件失败！", false, and
// the old file untouched.
bool SaveConfigTo(const std::string& dir, const zorv_VersionCheck& record);

// Writes the record to any file, byte for byte as SaveConfigTo does.
bool WriteConfigFile(const std::string& path, const zorv_VersionCheck& record);

// The exact bytes of a configuration file for the record: its Base64 text with every line break
// written as the three bytes 0D 0D 0A (the text-mode write of the Windows launcher turns each LF
// into CR LF), no final line break added; an empty record gives no bytes.
std::string ConfigFileBytes(const zorv_VersionCheck& record);

// Decodes the notice server's Base64 text into the server record. True when the decoded bytes
// parse. Writes no diagnostic.
bool DecodeServerRecord(const std::string& text, zorv_VersionCheck& serverRecord);
