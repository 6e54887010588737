#include "config/config_store.h"

#include "config/base64.h"
#include "config/diagnostics.h"
#include "config/file_helpers.h"
#include "platform/directories.h"
#include "platform/files.h"

bool LoadConfig(zorv_VersionCheck& record) {
    return LoadConfigFrom(GetModuleDir(), record);
}

bool LoadConfigFrom(const std::string& dir, zorv_VersionCheck& record) {
    const std::string text = ReadFileText(dir + kConfigFileName);
    if (text.empty()) {
        WriteDiagnosticLine(kDiagConfigReadFailed);
    }
    if (!ParseRecord(record, Base64Decode(text))) {
        WriteDiagnosticLine(kDiagConfigParseFailed);
    }
    return true;
}

bool IsConfigFileIn(const std::string& dir) {
    const std::string path = dir + kConfigFileName;
    if (platform::EntryKindAt(path) != platform::EntryKind::RegularFile ||
        !platform::ReadWholeFile(path, kMaxTextFileBytes)) {
        return false;
    }
    zorv_VersionCheck record;
    return RecordFromText(record, ReadFileText(path));
}

std::string ConfigFileBytes(const zorv_VersionCheck& record) {
    const std::string text = RecordToText(record);
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 78 + 1);
    for (const char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

bool WriteConfigFile(const std::string& path, const zorv_VersionCheck& record) {
    if (!platform::ReplaceFile(path, ConfigFileBytes(record))) {
        WriteDiagnosticLine(kDiagConfigSaveFailed);
        return false;
    }
    return true;
}

bool SaveConfigTo(const std::string& dir, const zorv_VersionCheck& record) {
    return WriteConfigFile(dir + kConfigFileName, record);
}

bool DecodeServerRecord(const std::string& text, zorv_VersionCheck& serverRecord) {
    return RecordFromText(serverRecord, text);
}
