#pragma once
// The version record (zorv_VersionCheck, generated from zorvProto.proto for the lite runtime)
// and the two ways the launcher reads one.

#include <string>
#include <string_view>

#include "zorvProto.pb.h"

// Clears the record, then parses `bytes` into it. True when the bytes are a complete encoding
// read to their end. Fields the schema does not declare (and declared fields of another wire
// type) are dropped, so a later save holds fields 1 to 12 only. On failure the record keeps the
// fields read before the fault.
bool ParseRecord(zorv_VersionCheck& record, std::string_view bytes);

// The record's text form: Base64 of its serialised bytes.
std::string RecordToText(const zorv_VersionCheck& record);

// Decodes Base64 text and parses the bytes into the record (ParseRecord).
bool RecordFromText(zorv_VersionCheck& record, std::string_view text);
