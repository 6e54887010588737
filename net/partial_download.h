#pragma once
// A download cut short, kept for the next attempt: the bytes received so far stay in the
// archive's temporary file (Client.zip.part), and a small record beside it (Client.zip.resume)
// says which download they belong to and how many of them are known to be on the disk.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct PartialDownload {
    std::string url;
    // The answer's ETag, else its Last-Modified, exactly as the server sent it; empty when it
    // sent neither (the server then said it accepts byte ranges).
    std::string validator;
    int64_t totalBytes = 0;  // the whole file's length, above 0
    int64_t goodBytes = 0;   // bytes at the start of the temporary file that are on the disk
};

// A byte count written in decimal digits only (at most 18 of them), as in the record and in
// HTTP's Content-Range; nullopt for anything else.
std::optional<int64_t> ParseByteCount(std::string_view text);

// The temporary file and the record of the archive at `archivePath` (Windows form).
std::string PartialFileOf(const std::string& archivePath);
std::string PartialRecordOf(const std::string& archivePath);

// The record's text, and back. Parsing refuses anything that is not a whole record written by
// FormatPartialRecord: a record cut short, changed or garbled reads as no record.
std::string FormatPartialRecord(const PartialDownload& partial);
std::optional<PartialDownload> ParsePartialRecord(std::string_view text);

// The partial download of `url` at `archivePath` that can go on: the record reads whole, names
// `url`, and the temporary file is a regular file holding at least the good bytes (links are
// not followed). Nullopt otherwise.
std::optional<PartialDownload> FindPartialDownload(const std::string& archivePath,
                                                   const std::string& url);

// Records the partial download (the good bytes must be on the disk already). The record is
// replaced in one step: a crash leaves either the earlier record or this one.
bool RecordPartialDownload(const std::string& archivePath, const PartialDownload& partial);

// Removes the record first, then the temporary file, so that no moment has a record for bytes
// that are gone. Links are removed as links; a folder at either name stays.
void RemovePartialDownload(const std::string& archivePath);
