#include "tests/support/snmpd.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/support/files.h"

namespace fs = std::filesystem;

std::string RunCommand(const std::string &command)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, pipe))
        out += buf;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

bool SnmpdAgent::Start(int firstHost, int lastHost, const char *onlyVersion, const std::string &extraConfig)
{
    extraConfig_ = extraConfig;
    access_ = "rocommunity " + std::string(kCommunity) + " 127.0.0.0/8\n";
    version_ = "v2c";
    if (onlyVersion) {
        // The community maps to a group of that security model alone.
        access_ = "com2sec vsec 127.0.0.0/8 " + std::string(kCommunity) + "\ngroup vgrp " + onlyVersion +
                  " vsec\nview all included .1\naccess vgrp \"\" any noauth exact all none none\n";
        version_ = onlyVersion;
    }
    dir_ = fs::temp_directory_path() / ("vellary-snmpd-" + std::to_string(getpid()) + "-" + std::to_string(firstHost));
    fs::create_directories(dir_);
    for (int host = firstHost; host <= lastHost; host++) {
        if (TryStart("127.0.0." + std::to_string(host)))
            return true;
    }
    return false;
}

void SnmpdAgent::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    pid_ = 0;
    address_.clear();
    if (!dir_.empty()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
}

std::string SnmpdAgent::Get(const std::string &oid) const
{
    // SNMPv2c reads the 64-bit counters too; its exceptions come back as words.
    std::string value = RunCommand("MIBS= snmpget -" + version_ + " -c " + std::string(kCommunity) + " -m '' -Oqv -t 2 -r 0 " +
                                   address_ + " " + oid + " 2>/dev/null");
    return value.rfind("No Such", 0) == 0 || value.rfind("No more", 0) == 0 ? "" : value;
}

bool SnmpdAgent::TryStart(const std::string &address)
{
    fs::path conf = dir_ / "snmpd.conf";
    fs::path log = dir_ / ("snmpd-" + address + ".log");
    // "[snmp]" switches the rest of the file to the library's own tokens: it comes last.
    WriteFile(conf, "agentaddress udp:" + address + ":161\n" + access_ + extraConfig_ + "[snmp] persistentDir " +
                        (dir_ / "state").string() + "\n");
    pid_t pid = fork();
    if (pid == 0) {
        setenv("MIBS", "", 1);
        execlp("snmpd", "snmpd", "-f", "-C", "-c", conf.c_str(), "-Lf", log.c_str(), "-M", "/nonexistent", "-p",
               (dir_ / "snmpd.pid").c_str(), nullptr);
        _exit(127);
    }
    if (pid < 0)
        return false;
    // Up when it answers; gone when it could not bind.
    pid_ = pid;
    address_ = address;
    for (int k = 0; k < 100; k++) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid_ = 0;
            address_.clear();
            return false;
        }
        if (!Get("1.3.6.1.2.1.1.3.0").empty())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
    address_.clear();
    return false;
}
