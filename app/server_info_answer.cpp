// The server-information request and its answer: vaskpc.txt from the notice server, decoded into
// the server's version record.

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/config_store.h"
#include "config/diagnostics.h"
#include "net/web_net.h"

namespace {

constexpr long kHttpOk = 200;

// A name that stays one folder or file directly where the launcher puts it: not empty, no path
// separator, no drive or stream colon, not "." or "..". The client directory and the game
// executable must be such names, or the install decision would act on a drive's root (and
// remove an "outdated" client directory that is the whole drive).
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

// Why an answer is not usable, or nullptr when it is. Only a complete 200 answer whose body
// decodes into a record naming a client directory and a game executable is one.
const char* AnswerFault(const WebNetRequest& request, zorv_VersionCheck& serverRecord) {
    if (!request.completed) {
        return "no complete answer (the notice server cannot be reached or broke off)";
    }
    if (request.status != kHttpOk) {
        return "the notice server did not answer 200";
    }
    if (request.response.empty()) {
        return "the notice server sent an empty body";
    }
    if (!DecodeServerRecord(request.response, serverRecord)) {
        return "the body is not the text of a version record";
    }
    if (!IsPlainName(serverRecord.client_dir()) || !IsPlainName(serverRecord.client_exe())) {
        return "client_dir or client_exe is not a plain name";
    }
    return nullptr;
}

}  // namespace

void InstallFlow::RequestServerInfo() {
    m_webNet.QueueGet(ServerInfoUrl(), &OnServerInfoResponse);
}

bool InstallFlow::OnServerInfoResponse(WebNetRequest* request) {
    InstallFlow* flow = mainDialog;
    if (flow == nullptr) {
        return true;  // the window has gone; nothing to report to
    }
    // Set first: while the question below is open, the watchdog adds no worker.
    flow->serverInfoAnswered = true;
    const char* fault = AnswerFault(*request, flow->m_app.m_serverRecord);
    if (fault == nullptr) {
        // The tick that dispatched this answer runs the install decision next.
        flow->m_flowState = Deciding;
        return true;
    }
    WriteDiagnosticLine(std::string("vaskpc.txt: ") + fault + " (HTTP status " +
                        std::to_string(request->status) + ")");
    const int answer =
        flow->m_view->MessageBox(kTextRetryQuestion, kCaptionRetryQuestion, kMbOkCancel);
    if (answer == kIdOk) {
        flow->serverInfoAnswered = false;
        flow->RequestServerInfo();
    } else {
        flow->m_view->EndDialog(0);
    }
    return true;
}
