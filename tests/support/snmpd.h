// A real SNMP agent for tests (native build): net-snmp's snmpd on a loopback
// address from the caller's range, with a generated configuration, and
// snmpget as the reference reader.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

class SnmpdAgent {
public:
    static constexpr const char *kCommunity = "vellro";

    ~SnmpdAgent() { Stop(); }

    // Starts snmpd on the first of 127.0.0.<firstHost>..<lastHost> it can bind and
    // waits until it answers. With onlyVersion ("v1" or "v2c") it answers that
    // version only; extraConfig's lines (createUser, say) join its configuration.
    // Returns false when none worked.
    bool Start(int firstHost, int lastHost, const char *onlyVersion = nullptr, const std::string &extraConfig = "");
    void Stop();

    const std::string &Address() const { return address_; }

    // snmpget's reading of a numeric object, "" when there is none.
    std::string Get(const std::string &oid) const;

private:
    bool TryStart(const std::string &address);

    std::string version_ = "v2c";  // that Get asks in
    std::string access_;            // the configuration's lines for the community
    std::filesystem::path dir_;
    std::string extraConfig_;
    pid_t pid_ = 0;
    std::string address_;
};

// Runs a shell command and returns its standard output without trailing line breaks.
std::string RunCommand(const std::string &command);
