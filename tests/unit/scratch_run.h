// A fixture for tests that run the whole program on files they write: each
// test runs in a scratch directory of its own, removed afterwards, so that
// names stay short (settings fields truncate long ones).
#pragma once

#include "frontend/program.h"
#include "report/report.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qv::test {

class ScratchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        home_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("qv_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(dir_);
    }

    static void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string readFile(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs the program with console output caught; returns the exit code.
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "quorvex");
        std::vector<const char*> argv;
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());
        ConsoleCapture capture;
        const int code = runProgram(static_cast<int>(argv.size()), argv.data(), capture.console());
        console = capture.text();
        return code;
    }

    std::string console;

  private:
    std::filesystem::path home_;
    std::filesystem::path dir_;
};

} // namespace qv::test
