#include "tests/alerts/receivers.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/files.h"

std::string ReceiverEnv(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

namespace {

std::string FromHex(const std::string &hex)
{
    std::string bytes;
    for (size_t k = 0; k + 1 < hex.size(); k += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
    return bytes;
}

std::vector<Arrival> ReadArrivals(const std::string &logPath, const std::string &prefix)
{
    std::vector<Arrival> arrivals;
    std::istringstream lines(ReadFile(logPath));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        Arrival a;
        std::string time, hex;
        if (!std::getline(fields, a.status, '\t') || !std::getline(fields, a.path, '\t') ||
            !std::getline(fields, a.type, '\t') || !std::getline(fields, time, '\t'))
            continue;  // a line still being written
        std::getline(fields, hex);
        if (a.path.compare(0, prefix.size(), prefix) != 0)
            continue;
        a.time = std::stod(time);
        a.body = FromHex(hex);
        arrivals.push_back(a);
    }
    return arrivals;
}

}  // namespace

std::vector<Arrival> Arrivals(const std::string &logPath, const std::string &prefix, size_t count, int waitMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::vector<Arrival> arrivals = ReadArrivals(logPath, prefix);
    while (arrivals.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        arrivals = ReadArrivals(logPath, prefix);
    }
    return arrivals;
}
