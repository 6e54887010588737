// zorvtool: creates and inspects version records, the content of vaskpc.txt on the notice server
// and of config.zorv beside the launcher, and signs what the publisher ships.
//
//   zorvtool encode [--FIELD VALUE]... [-o FILE]
//   zorvtool decode [FILE]
//   zorvtool keygen SECRET_FILE
//   zorvtool sign --key SECRET_FILE PATH
//   zorvtool verify --public-key BASE64 PATH

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
#include "platform/archive_files.h"
#include "platform/files.h"
#include "platform/text.h"
#include "signing/signature.h"

namespace {

using Record = zorv_VersionCheck;

constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;
// A secret key file is one short line.
constexpr size_t kMaxKeyFileBytes = 4096;

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
           "  zorvtool keygen SECRET_FILE\n"
           "      Makes an Ed25519 key pair: writes the secret key to SECRET_FILE, a new file\n"
           "      only its owner may read (an existing file is never overwritten), and prints\n"
           "      the public key as one line of Base64, the value of the launcher's build\n"
           "      option TOLBE_UPDATE_PUBLIC_KEY. The secret key is never printed.\n"
           "  zorvtool sign --key SECRET_FILE PATH\n"
           "      Signs the file PATH (vaskpc.txt, Client.zip), read as a stream whatever its\n"
           "      size, and writes the signature as one line of Base64 to PATH.sig.\n"
           "  zorvtool verify --public-key BASE64 PATH\n"
           "      Checks PATH against PATH.sig as the launcher does. Exit status 0 when the\n"
           "      signature is valid, 1 when it is not, with a message.\n"
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

// The value of `--name VALUE` or `--name=VALUE` and the one operand of a signing command, in any
// order; false (with a usage message) for anything else.
bool SigningArguments(const std::vector<std::string>& args, const std::string& option,
                      std::string& value, std::string& path, int& status) {
    bool hasValue = false, hasPath = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option && i + 1 < args.size()) {
            value = args[++i];
            hasValue = true;
        } else if (args[i].rfind(option + "=", 0) == 0) {
            value = args[i].substr(option.size() + 1);
            hasValue = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            status = UsageError("unknown option '" + args[i] + "' (expected " + option + ")");
            return false;
        } else if (!hasPath) {
            path = args[i];
            hasPath = true;
        } else {
            status = UsageError("only one PATH may be given");
            return false;
        }
    }
    if (!hasValue || !hasPath) {
        status = UsageError("needs " + option + " VALUE and one PATH");
        return false;
    }
    return true;
}

int Fault(const std::string& message) {
    std::cerr << "zorvtool: " << message << "\n";
    return kExitFault;
}

// Every byte of the file at the host path, read in pieces.
bool AddWholeFile(signing::SignatureStream& stream, const std::string& path) {
    auto file = platform::ArchiveInputFile::OpenHost(path);
    if (!file) {
        return false;
    }
    const std::optional<uint64_t> size = file->Size();
    return size && stream.AddFile(*file, *size);
}

int Keygen(const std::vector<std::string>& args) {
    if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
        return UsageError("keygen takes exactly one SECRET_FILE");
    }
    const std::optional<signing::KeyPair> pair = signing::MakeKeyPair();
    if (!pair) {
        return Fault("no key can be made: the system gives no random source");
    }
    const std::string secret = signing::KeyText(pair->secretKey) + "\n";
    if (!platform::CreateOwnerOnlyHostFile(args[0], secret)) {
        return Fault("cannot write " + args[0] + ": " + std::strerror(errno) +
                     (errno == EEXIST ? " (an existing key is never overwritten)" : ""));
    }
    std::cout << signing::KeyText(pair->publicKey) << "\n" << std::flush;
    return std::cout ? 0 : kExitFault;
}

int Sign(const std::vector<std::string>& args) {
    std::string keyFile, path;
    int status = 0;
    if (!SigningArguments(args, "--key", keyFile, path, status)) {
        return status;
    }
    const auto keyText = platform::ReadWholeHostFile(keyFile, kMaxKeyFileBytes);
    if (!keyText) {
        return Fault("cannot read " + keyFile + ": " + std::strerror(errno));
    }
    const std::optional<signing::SecretKey> key = signing::ParseSecretKey(*keyText);
    if (!key) {
        return Fault(keyFile + " is not a secret key made by 'zorvtool keygen'");
    }
    signing::SignatureStream stream;
    if (!AddWholeFile(stream, path)) {
        return Fault("cannot read " + path + ": " + std::strerror(errno));
    }
    const std::optional<signing::Signature> signature = stream.Sign(*key);
    const std::string signaturePath = path + signing::kSignatureSuffix;
    if (!signature) {
        return Fault("cannot sign " + path);
    }
    if (!platform::ReplaceHostFile(signaturePath, signing::SignatureText(*signature) + "\n")) {
        return Fault("cannot write " + signaturePath + ": " + std::strerror(errno));
    }
    return 0;
}

int Verify(const std::vector<std::string>& args) {
    std::string publicKey, path;
    int status = 0;
    if (!SigningArguments(args, "--public-key", publicKey, path, status)) {
        return status;
    }
    if (!signing::ParsePublicKey(publicKey)) {
        return UsageError(signing::VerdictText(signing::Verdict::BadPublicKey));
    }
    const std::string signaturePath = path + signing::kSignatureSuffix;
    const auto signatureText =
        platform::ReadWholeHostFile(signaturePath, signing::kMaxSignatureFileBytes);
    if (!signatureText) {
        return Fault(path + ": no signature: cannot read " + signaturePath + ": " +
                     std::strerror(errno));
    }
    signing::SignatureStream stream;
    if (!AddWholeFile(stream, path)) {
        return Fault("cannot read " + path + ": " + std::strerror(errno));
    }
    const signing::Verdict verdict = signing::CheckSignature(stream, *signatureText, publicKey);
    if (verdict != signing::Verdict::Valid) {
        return Fault(path + ": " + signing::VerdictText(verdict));
    }
    std::cout << path << ": " << signing::VerdictText(verdict) << "\n" << std::flush;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Records, keys and signatures go out byte for byte, CR LF lines as they are.
    platform::UseBinaryStandardStreams();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError("missing command (encode, decode, keygen, sign or verify)");
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
    if (args[0] == "keygen") {
        return Keygen(rest);
    }
    if (args[0] == "sign") {
        return Sign(rest);
    }
    if (args[0] == "verify") {
        return Verify(rest);
    }
    return UsageError("unknown command '" + args[0] +
                      "' (expected encode, decode, keygen, sign or verify)");
}
