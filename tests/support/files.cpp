#include "tests/support/files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "records/log.h"

namespace fs = std::filesystem;

void InTempDir::SetUp()
{
    static std::atomic<unsigned> serial{0};
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "vellary-test-" << info->test_suite_name() << "-" << stamp << "-" << serial++;
    dir_ = fs::temp_directory_path() / name.str();
    fs::create_directories(dir_);
    previous_ = fs::current_path();
    fs::current_path(dir_);
}

void InTempDir::TearDown()
{
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const fs::path &path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<std::string> LogEntries()
{
    std::vector<std::string> entries;
    std::string text = ReadFile(LOG_FILE_NAME);
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        // "dd-mm-yyyy,hh:mm:ss,"
        bool stamped = line.size() >= 20 && line[2] == '-' && line[5] == '-' && line[10] == ',' && line[13] == ':' &&
                       line[16] == ':' && line[19] == ',';
        entries.push_back(stamped ? line.substr(20) : "no time stamp: " + line);
        pos = eol + 2;
    }
    return entries;
}
