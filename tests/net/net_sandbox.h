#pragma once
// Host facts for the networking tests: drive D: over a fresh temporary folder, and host lines
// that route connections to loopback servers. Installed for as long as the object lives.

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/host_facts.h"
#include "platform/paths.h"
#include "tests/net/loopback_servers.h"
#include "tests/support/temp_dir.h"

namespace tolbe_test {

class NetSandbox {
public:
    NetSandbox() {
        m_facts.sandboxed = true;
        platform::DriveFacts drive;
        drive.letter = 'D';
        drive.hostRoot = m_temp.Join("D");
        std::filesystem::create_directories(drive.hostRoot);
        m_facts.drives.push_back(drive);
        platform::SetHostFacts(m_facts);
    }
    ~NetSandbox() { platform::SetHostFacts(platform::HostFacts{}); }
    NetSandbox(const NetSandbox&) = delete;
    NetSandbox& operator=(const NetSandbox&) = delete;

    // Adds the host line "localhost:P 127.0.0.1:serverPort" for a port P on which nothing
    // listens, and returns "http://localhost:P" (or https://). Only the host line can make a
    // request to that address reach the server.
    std::string Route(int serverPort, const std::string& scheme = "http") {
        platform::HostRedirect redirect;
        redirect.fromHost = "localhost";
        redirect.fromPort = UnusedLoopbackPort();
        redirect.toHost = "127.0.0.1";
        redirect.toPort = serverPort;
        Replace(redirect);
        return scheme + "://localhost:" + std::to_string(redirect.fromPort);
    }

    // Adds the host line "host:port 127.0.0.1:serverPort": connections to that name and port
    // (the notice server's, for instance) reach the loopback server.
    void RouteHost(const std::string& host, int port, int serverPort) {
        platform::HostRedirect redirect;
        redirect.fromHost = host;
        redirect.fromPort = port;
        redirect.toHost = "127.0.0.1";
        redirect.toPort = serverPort;
        Replace(redirect);
    }

    // Requests take the host's own proxy settings from now on (the sandbox's "proxy host").
    void UseHostProxy() {
        m_facts.hostProxy = true;
        platform::SetHostFacts(m_facts);
    }

    // Drive D: reports this many free bytes from now on.
    void SetFreeBytes(uint64_t bytes) {
        m_facts.drives[0].freeBytes = bytes;
        platform::SetHostFacts(m_facts);
    }

    // Host path of a Windows-form path on drive D:.
    std::string Host(const std::string& windowsPath) const {
        const auto host = platform::MapToHostPath(windowsPath, m_facts.drives, "/");
        if (!host) {
            throw std::runtime_error("not on the sandbox drive: " + windowsPath);
        }
        return *host;
    }

private:
    // The newest line for a name and port is the one in force: a port handed out again (Windows
    // hands a released port out again soon) must lead to the new server, not to one gone.
    void Replace(const platform::HostRedirect& redirect) {
        auto& hosts = m_facts.hosts;
        hosts.erase(std::remove_if(hosts.begin(), hosts.end(),
                                   [&](const platform::HostRedirect& old) {
                                       return old.fromHost == redirect.fromHost &&
                                              old.fromPort == redirect.fromPort;
                                   }),
                    hosts.end());
        hosts.push_back(redirect);
        platform::SetHostFacts(m_facts);
    }

    TempDir m_temp;
    platform::HostFacts m_facts;
};

}  // namespace tolbe_test
