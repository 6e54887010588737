// The server-information request and its answer: vaskpc.txt from the notice server, decoded into
// the server's version record.

#include <string_view>

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/config_store.h"
#include "config/diagnostics.h"
#include "net/server_info.h"
#include "net/web_net.h"
#include "platform/text.h"
#include "signing/signature.h"

namespace {

constexpr long kHttpOk = 200;

// Names the Windows file system cannot hold as a plain entry: its devices, with or without an
// extension ("CON", "nul.txt", "COM1").
bool IsDeviceName(const std::string& name) {
    const std::string stem = name.substr(0, name.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (platform::EqualsNoCase(stem, device)) {
            return true;
        }
    }
    return stem.size() == 4 &&
           (platform::StartsWithNoCase(stem, "COM") || platform::StartsWithNoCase(stem, "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// A name that stays one folder or file directly where the launcher puts it, and the same one on
// every host: valid text in the narrow encoding (or the files would go to one folder and the
// configuration to another), not empty, not "." or "..", no path separator, drive or stream
// colon, wildcard, quote, pipe or control character, no final dot or blank (Windows drops
// them, so "Tolbe." would be "Tolbe"), and no device name. The client directory and the game
// executable must be such names, or the install decision would act on a drive's root.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || !platform::IsValidNarrowText(name) ||
        name.back() == '.' || name.back() == ' ' || IsDeviceName(name)) {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Why an answer is not a complete vaskpc.txt (or vaskpc.txt.sig), or nullptr when it is one:
// only a complete 200 answer with a body counts.
const char* TransportFault(const WebNetRequest& request) {
    if (request.responseTooLarge) {
        return "the body is larger than such a file can be";
    }
    if (request.proxyRefused) {
        return kProxyRefusedText;
    }
    if (request.timedOut) {
        return "no complete answer within the deadline (a silent or trickling notice server)";
    }
    if (!request.completed) {
        return "no complete answer (the notice server cannot be reached or broke off)";
    }
    if (request.status != kHttpOk) {
        return "the notice server did not answer 200";
    }
    if (request.response.empty()) {
        return "the notice server sent an empty body";
    }
    return nullptr;
}

// Why a body that came whole is no usable record, or nullptr when it decodes into a record
// naming a client directory and a game executable.
const char* RecordFault(const std::string& text, zorv_VersionCheck& serverRecord) {
    if (!DecodeServerRecord(text, serverRecord)) {
        return "the body is not the text of a version record";
    }
    if (!IsPlainName(serverRecord.client_dir()) || !IsPlainName(serverRecord.client_exe())) {
        return "client_dir or client_exe is not a plain name";
    }
    // The game must be none of the launcher's own files (the copy would overwrite the game with
    // the launcher and start itself again and again, the icon picture would overwrite it with a
    // picture) nor the configuration file.
    for (const std::string& own : kLauncherOwnFiles) {
        if (platform::EqualsNoCase(serverRecord.client_exe(), own)) {
            return "client_exe names one of the launcher's own files";
        }
    }
    if (platform::EqualsNoCase(serverRecord.client_exe(), kConfigFileName)) {
        return "client_exe names the configuration file";
    }
    // A version is stored as text, up to its first NUL: one holding a NUL would never compare
    // equal again, and every start would install anew.
    if (serverRecord.version().find('\0') != std::string::npos) {
        return "version holds a NUL byte";
    }
    return nullptr;
}

std::string WithStatus(const char* fault, const WebNetRequest& request) {
    return std::string(fault) + " (HTTP status " + std::to_string(request.status) + ")";
}

}  // namespace

void InstallFlow::RequestServerInfo() {
    m_webNet.Queue(NewServerInfoRequest(&OnServerInfoResponse, serverInfoDeadlineMs));
}

bool InstallFlow::OnServerInfoResponse(WebNetRequest* request) {
    InstallFlow* flow = mainDialog;
    if (flow == nullptr) {
        return true;  // the window has gone; nothing to report to
    }
    // Set first: while the question below is open, the watchdog adds no worker.
    flow->serverInfoAnswered = true;
    if (const char* fault = TransportFault(*request)) {
        AskToRetry(*flow, "vaskpc.txt: " + WithStatus(fault, *request));
        return true;
    }
    if (flow->updatePublicKey.empty()) {
        AcceptServerAnswer(*flow, request->response);
        return true;
    }
    // Nothing of the answer is read before its signature has been checked.
    flow->m_unverifiedAnswer = request->response;
    if (!flow->m_webNet.Queue(NewServerInfoSignatureRequest(&OnServerSignatureResponse,
                                                            flow->serverInfoDeadlineMs))) {
        AskToRetry(*flow, "vaskpc.txt.sig: the request cannot be made");
    }
    return true;
}

bool InstallFlow::OnServerSignatureResponse(WebNetRequest* request) {
    InstallFlow* flow = mainDialog;
    if (flow == nullptr) {
        return true;
    }
    const std::string answer = std::move(flow->m_unverifiedAnswer);
    flow->m_unverifiedAnswer.clear();
    if (const char* fault = TransportFault(*request)) {
        AskToRetry(*flow, "vaskpc.txt.sig: " + WithStatus(fault, *request) +
                              "; vaskpc.txt is not believed without its signature");
        return true;
    }
    signing::SignatureStream bytes;
    bytes.Add(answer);
    const signing::Verdict verdict =
        signing::CheckSignature(bytes, request->response, flow->updatePublicKey);
    if (verdict != signing::Verdict::Valid) {
        AskToRetry(*flow, std::string("vaskpc.txt.sig: ") + signing::VerdictText(verdict));
        return true;
    }
    AcceptServerAnswer(*flow, answer);
    return true;
}

void InstallFlow::AcceptServerAnswer(InstallFlow& flow, const std::string& text) {
    if (const char* fault = RecordFault(text, flow.m_app.m_serverRecord)) {
        AskToRetry(flow, std::string("vaskpc.txt: ") + fault + " (HTTP status 200)");
        return;
    }
    // The tick that dispatched this answer runs the install decision next.
    flow.m_flowState = Deciding;
}

void InstallFlow::AskToRetry(InstallFlow& flow, const std::string& diagnostic) {
    WriteDiagnosticLine(diagnostic);
    const int answer =
        flow.m_view->MessageBox(kTextRetryQuestion, kCaptionRetryQuestion, kMbOkCancel);
    if (answer == kIdOk) {
        flow.serverInfoAnswered = false;
        flow.RequestServerInfo();
    } else {
        flow.m_view->EndDialog(0);
    }
}
