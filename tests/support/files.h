// File helpers for tests: a private working directory, whole-file reads and writes,
// and the event log's lines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// Runs each test in a fresh empty directory of its own, which becomes the
// working directory for the test and is removed afterwards.
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path dir_;

private:
    std::filesystem::path previous_;
};

std::string ReadFile(const std::filesystem::path &path);
void WriteFile(const std::filesystem::path &path, const std::string &bytes);
bool FileExists(const std::filesystem::path &path);

// Each line of the event log after its time stamp: "message,detail". A line
// without a stamp comes back whole, marked.
std::vector<std::string> LogEntries();
