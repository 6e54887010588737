#pragma once
// A second, independent reading of a version record's bytes for the record fuzz target: a plain
// walk over the protocol-buffers wire format that knows the record's twelve text fields and
// skips everything else. It tells what ParseRecord must answer: whether the bytes are a record,
// and which fields it keeps (on a fault, the fields read before it).

#include <optional>
#include <string_view>

#include "zorvProto.pb.h"

namespace tolbe_fuzz {

struct ReferenceParse {
    bool parsed = false;
    zorv_VersionCheck record;
};

// The reading of `bytes`, or nullopt when they hold a form on which the runtime's answer is not
// pinned down here (non-canonical varints longer than the runtime reads, field number 0 with a
// non-zero wire type, deeply nested groups): the caller then compares nothing.
std::optional<ReferenceParse> ReadRecordReference(std::string_view bytes);

}  // namespace tolbe_fuzz
