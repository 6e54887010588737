#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <mutex>
#include <optional>

#include "platform/proxy.h"
#include "platform/text.h"

namespace platform {
namespace {

// A script's server (or a detection that finds none) answers within this time, or not at all.
constexpr int kScriptTimeoutMs = 10000;

// Texts that WinHTTP hands over are the caller's to free.
class WinHttpText {
public:
    explicit WinHttpText(LPWSTR text) : m_text(text) {}
    ~WinHttpText() {
        if (m_text != nullptr) {
            ::GlobalFree(m_text);
        }
    }
    WinHttpText(const WinHttpText&) = delete;
    WinHttpText& operator=(const WinHttpText&) = delete;

    bool Empty() const { return m_text == nullptr || *m_text == L'\0'; }
    std::string Utf8() const { return m_text == nullptr ? std::string() : WideToUtf8(m_text); }

private:
    LPWSTR m_text;
};

// One WinHTTP session for every script question of the run: WinHTTP keeps a fetched script
// with its session, so the next URL is answered without fetching it again.
HINTERNET ScriptSession() {
    static std::once_flag opened;
    static HINTERNET session = nullptr;
    std::call_once(opened, [] {
        session = ::WinHttpOpen(L"ZorvDownloader", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (session != nullptr) {
            ::WinHttpSetTimeouts(session, kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs,
                                 kScriptTimeoutMs);
        }
    });
    return session;
}

// Set once no script could be had: the run's later URLs do not wait for it again.
std::atomic<bool> noScript{false};

// What the automatic configuration script (named, or found by automatic detection) says for
// the URL; nullopt when no script could be fetched or run.
std::optional<ProxyRoute> ScriptRoute(const std::string& url, const UrlTarget& target,
                                      bool autoDetect, LPCWSTR scriptUrl) {
    const HINTERNET session = ScriptSession();
    if (session == nullptr || noScript) {
        return std::nullopt;
    }
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (scriptUrl != nullptr && *scriptUrl != L'\0') {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl;
    }
    // The script's own server may ask for the player's logon, as a browser's would get it.
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    const std::wstring wideUrl = NarrowToWide(url);
    const BOOL answered = ::WinHttpGetProxyForUrl(session, wideUrl.c_str(), &options, &info);
    const WinHttpText servers(info.lpszProxy);
    const WinHttpText bypass(info.lpszProxyBypass);
    if (!answered) {
        noScript = true;
        return std::nullopt;
    }
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || servers.Empty() ||
        BypassesProxy(bypass.Utf8(), target)) {
        return ProxyRoute{};
    }
    return RouteOfProxyList(servers.Utf8());
}

}  // namespace

// The player's settings first (a script, then the fixed server), then the machine's WinHTTP
// proxy; a script that cannot be had falls back to the fixed server, else to no proxy, as
// browsers do.
ProxyRoute HostProxyRoute(const std::string& url) {
    const auto target = TargetOfUrl(url);
    if (!target || IsLoopbackTarget(*target)) {
        return ProxyRoute{};
    }
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user = {};
    if (::WinHttpGetIEProxyConfigForCurrentUser(&user)) {
        const WinHttpText scriptUrl(user.lpszAutoConfigUrl);
        const WinHttpText servers(user.lpszProxy);
        const WinHttpText bypass(user.lpszProxyBypass);
        if (user.fAutoDetect || !scriptUrl.Empty()) {
            if (auto route =
                    ScriptRoute(url, *target, user.fAutoDetect != FALSE, user.lpszAutoConfigUrl)) {
                return *route;
            }
        }
        if (!servers.Empty()) {
            return FixedProxyRoute(servers.Utf8(), bypass.Utf8(), url);
        }
    }
    WINHTTP_PROXY_INFO machine = {};
    if (::WinHttpGetDefaultProxyConfiguration(&machine)) {
        const WinHttpText servers(machine.lpszProxy);
        const WinHttpText bypass(machine.lpszProxyBypass);
        if (machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !servers.Empty()) {
            return FixedProxyRoute(servers.Utf8(), bypass.Utf8(), url);
        }
    }
    return ProxyRoute{};
}

}  // namespace platform
