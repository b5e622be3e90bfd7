// A scratch folder per test and helpers to put exact bytes into files there.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/TextCodec.h"

class TScratchFolder {
public:
    TScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FPath =
            std::filesystem::temp_directory_path() / "tessaro-tests" /
            (std::string(info->test_suite_name()) + "." + info->name() + "." + std::to_string(::getpid()));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    const std::filesystem::path& Path() const { return FPath; }
    // The folder as the code under test names folders: wide, ending in a separator.
    std::wstring Folder() const { return Utf8ToWide(FPath.string()) + L"/"; }
    std::filesystem::path operator/(std::string_view name) const { return FPath / name; }

private:
    std::filesystem::path FPath;
};

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::wstring WidePath(const std::filesystem::path& file) {
    return Utf8ToWide(file.string());
}
