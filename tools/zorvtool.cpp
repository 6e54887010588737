// zorvtool: creates and inspects version records, the content of vaskpc.txt on the notice server
// and of config.zorv beside the launcher.
//
//   zorvtool encode [--FIELD VALUE]... [-o FILE]
//   zorvtool decode [FILE]

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "config/base64.h"
#include "config/config_store.h"
#include "config/file_helpers.h"
#include "config/version_record.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

using Record = zorv_VersionCheck;

constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;

struct Field {
    const char* name;
    bool repeated;
    std::function<void(Record&, const std::string&)> add;
    std::function<std::vector<std::string>(const Record&)> values;
};

#define OPTIONAL_FIELD(f)                                                        \
    Field {                                                                      \
#f, false, [](Record& r, const std::string& v) { r.set_##f(v); },              \
            [](const Record& r) {                                                      \
                return r.has_##f() ? std::vector<std::string>{r.f()}                   \
                                   : std::vector<std::string>{};                       \
            } \
    }
#define REPEATED_FIELD(f)                                                        \
    Field {                                                                      \
#f, true, [](Record& r, const std::string& v) { r.add_##f(v); },               \
            [](const Record& r) { return std::vector<std::string>(r.f().begin(), r.f().end()); } \
    }

// In field-number order.
const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        OPTIONAL_FIELD(version),       OPTIONAL_FIELD(spare_text_2),  OPTIONAL_FIELD(spare_text_3),
        OPTIONAL_FIELD(spare_text_4),  OPTIONAL_FIELD(download_url),  OPTIONAL_FIELD(spare_text_6),
        OPTIONAL_FIELD(client_dir),    OPTIONAL_FIELD(client_exe),    OPTIONAL_FIELD(spare_text_9),
        REPEATED_FIELD(spare_list_10), REPEATED_FIELD(spare_list_11), REPEATED_FIELD(spare_list_12),
    };
    return fields;
}

std::string OptionName(const Field& field) {
    std::string option = std::string("--") + field.name;
    for (char& c : option) {
        if (c == '_') {
            c = '-';
        }
    }
    return option;
}

void PrintHelp(std::ostream& out) {
    out << "Usage:\n"
           "  zorvtool encode [OPTIONS] [-o FILE]\n"
           "      Builds a version record and writes its Base64 text to standard output,\n"
           "      exactly as the launcher's encoder produces it (lines of 76 characters\n"
           "      ended by CR LF, no final line break). With -o FILE, writes FILE byte for\n"
           "      byte as the launcher saves config.zorv.\n"
           "  zorvtool decode [FILE]\n"
           "      Reads the Base64 text of a record (vaskpc.txt or config.zorv) from FILE,\n"
           "      or from standard input when FILE is absent or '-', and prints each present\n"
           "      field as name=value in field-number order, one list element a line, with\n"
           "      non-printable bytes escaped C-style. Exit status 1 when the text does not\n"
           "      decode into a record.\n"
           "  zorvtool --help\n"
           "\n"
           "Encode options (each takes a value; the list options repeat, in order):\n";
    for (const Field& field : Fields()) {
        out << "  " << OptionName(field) << " V" << (field.repeated ? "   (repeatable)" : "")
            << "\n";
    }
    out << "\nThe launcher uses version, download-url, client-dir and client-exe; the spare\n"
           "fields are carried unchanged from config.zorv into each installation.\n";
}

int UsageError(const std::string& message) {
    std::cerr << "zorvtool: " << message << "\nTry 'zorvtool --help'.\n";
    return kExitUsage;
}

int Encode(const std::vector<std::string>& args) {
    Record record;
    std::string outputFile;
    bool toFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            hasValue = true;
        }
        const Field* field = nullptr;
        for (const Field& candidate : Fields()) {
            if (OptionName(candidate) == option) {
                field = &candidate;
            }
        }
        if (field == nullptr && option != "-o" && option != "--output") {
            return UsageError("unknown option '" + args[i] + "' for encode");
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                return UsageError("option '" + option + "' needs a value");
            }
            value = args[++i];
        }
        if (field != nullptr) {
            field->add(record, value);
        } else {
            outputFile = value;
            toFile = true;
        }
    }
    if (toFile) {
        if (!platform::ReplaceHostFile(outputFile, ConfigFileBytes(record))) {
            std::cerr << "zorvtool: cannot write " << outputFile << ": " << std::strerror(errno)
                      << "\n";
            return kExitFault;
        }
        return 0;
    }
    std::cout << RecordToText(record) << std::flush;
    return std::cout ? 0 : kExitFault;
}

// C-style escapes for control bytes and bytes that are not part of valid UTF-8; printable ASCII
// and well-formed multi-byte characters stay as they are.
std::string Escape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size();) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c >= 0x80) {
            size_t length = (c & 0xE0) == 0xC0   ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 1;
            if (length > 1 && i + length <= value.size() &&
                platform::IsValidUtf8(std::string_view(value).substr(i, length))) {
                out.append(value, i, length);
                i += length;
                continue;
            }
        }
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char escaped[5];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out;
}

bool IsBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=' || c == '\r' || c == '\n';
}

// The launcher reads any text without complaint; operators are told where theirs is off.
void WarnAboutForeignCharacters(const std::string& text, const std::string& source) {
    size_t line = 1, column = 1, count = 0;
    std::string first;
    for (const char c : text) {
        if (!IsBase64Character(c) && count++ == 0) {
            char where[96];
            std::snprintf(where, sizeof where, "line %zu, column %zu: byte 0x%02X", line, column,
                          static_cast<unsigned char>(c));
            first = where;
        }
        if (c == '\n') {
            ++line, column = 1;
        } else {
            ++column;
        }
    }
    if (count > 0) {
        std::cerr << "zorvtool: warning: " << source << ": " << count
                  << " byte(s) outside the Base64 alphabet, first at " << first
                  << "; the launcher reads each as 0\n";
    }
}

int Decode(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        return UsageError("decode takes at most one FILE");
    }
    if (!args.empty() && args[0].size() > 1 && args[0][0] == '-') {
        return UsageError("unknown option '" + args[0] + "' for decode");
    }
    const bool fromStdin = args.empty() || args[0] == "-";
    const std::string source = fromStdin ? "standard input" : args[0];
    std::string text;
    if (fromStdin) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        const auto content = platform::ReadWholeHostFile(args[0], kMaxTextFileBytes);
        if (!content) {
            std::cerr << "zorvtool: cannot read " << source << ": " << std::strerror(errno) << "\n";
            return kExitFault;
        }
        text = *content;
    }
    WarnAboutForeignCharacters(text, source);
    Record record;
    const std::string bytes = Base64Decode(text);
    if (!ParseRecord(record, bytes)) {
        std::cerr << "zorvtool: " << source << ": the text decodes to " << bytes.size()
                  << " bytes that are not a version record (the protocol-buffers parse "
                     "fails)\n";
        return kExitFault;
    }
    for (const Field& field : Fields()) {
        for (const std::string& value : field.values(record)) {
            std::cout << field.name << '=' << Escape(value) << '\n';
        }
    }
    return std::cout.flush() ? 0 : kExitFault;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError("missing command (encode or decode)");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(std::cout);
        return 0;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
        if (arg == "--help" || arg == "-h") {
            PrintHelp(std::cout);
            return 0;
        }
    }
    if (args[0] == "encode") {
        return Encode(rest);
    }
    if (args[0] == "decode") {
        return Decode(rest);
    }
    return UsageError("unknown command '" + args[0] + "' (expected encode or decode)");
}
