#include "net/partial_download.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "platform/files.h"

namespace {

constexpr char kPartSuffix[] = ".part";
constexpr char kRecordSuffix[] = ".resume";
constexpr char kFirstLine[] = "tolbe partial download 1";
// A record is a few lines; anything much larger is not one.
constexpr size_t kMaxRecordBytes = 16 * 1024;

// FNV-1a over the record's lines: a record cut short or changed by hand no longer matches.
uint64_t Checksum(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
}

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

// A value that fits on one record line.
bool IsLineValue(std::string_view value) {
    for (const char c : value) {
        if (c == '\n' || c == '\r' || c == '\0') {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The value of a "key=value" line, or nullopt when the line has another key.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') {
        return std::nullopt;
    }
    return line.substr(key.size() + 1);
}

}  // namespace

std::optional<int64_t> ParseByteCount(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string PartialFileOf(const std::string& archivePath) {
    return archivePath + kPartSuffix;
}

std::string PartialRecordOf(const std::string& archivePath) {
    return archivePath + kRecordSuffix;
}

std::string FormatPartialRecord(const PartialDownload& partial) {
    const std::string body = std::string(kFirstLine) + "\nurl=" + partial.url +
                             "\nvalidator=" + partial.validator +
                             "\ntotal=" + std::to_string(partial.totalBytes) +
                             "\ngood=" + std::to_string(partial.goodBytes) + "\n";
    return body + "check=" + Hex(Checksum(body)) + "\n";
}

std::optional<PartialDownload> ParsePartialRecord(std::string_view text) {
    const size_t checkAt = text.rfind("check=");
    if (checkAt == std::string_view::npos || (checkAt > 0 && text[checkAt - 1] != '\n') ||
        text.substr(checkAt) != "check=" + Hex(Checksum(text.substr(0, checkAt))) + "\n") {
        return std::nullopt;
    }
    const std::vector<std::string_view> lines = SplitLines(text.substr(0, checkAt));
    if (lines.size() != 5 || lines[0] != kFirstLine) {
        return std::nullopt;
    }
    const auto url = ValueOf(lines[1], "url");
    const auto validator =
        lines[2] == "validator=" ? std::string_view() : ValueOf(lines[2], "validator");
    const auto total = ValueOf(lines[3], "total");
    const auto good = ValueOf(lines[4], "good");
    if (!url || !validator || !total || !good) {
        return std::nullopt;
    }
    const auto totalBytes = ParseByteCount(*total);
    const auto goodBytes = ParseByteCount(*good);
    if (!totalBytes || !goodBytes || *totalBytes <= 0 || *goodBytes > *totalBytes) {
        return std::nullopt;
    }
    return PartialDownload{std::string(*url), std::string(*validator), *totalBytes, *goodBytes};
}

std::optional<PartialDownload> FindPartialDownload(const std::string& archivePath,
                                                   const std::string& url) {
    const auto text = platform::ReadWholeFile(PartialRecordOf(archivePath), kMaxRecordBytes);
    if (!text) {
        return std::nullopt;
    }
    auto partial = ParsePartialRecord(*text);
    const auto onDisk = platform::RegularFileSize(PartialFileOf(archivePath));
    if (!partial || partial->url != url || !onDisk ||
        *onDisk < static_cast<uint64_t>(partial->goodBytes)) {
        return std::nullopt;
    }
    return partial;
}

bool RecordPartialDownload(const std::string& archivePath, const PartialDownload& partial) {
    if (!IsLineValue(partial.url) || !IsLineValue(partial.validator) || partial.totalBytes <= 0 ||
        partial.goodBytes < 0 || partial.goodBytes > partial.totalBytes) {
        return false;
    }
    return platform::ReplaceFile(PartialRecordOf(archivePath), FormatPartialRecord(partial));
}

void RemovePartialDownload(const std::string& archivePath) {
    platform::DeleteOneFile(PartialRecordOf(archivePath));
    platform::DeleteOneFile(PartialFileOf(archivePath));
}
