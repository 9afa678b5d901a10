#include "tests/support/files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

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
