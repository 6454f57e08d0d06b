// A scratch folder for file-system tests, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace platform_test {

class TempTree {
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sv_platform_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        root_ = pattern;
    }
    ~TempTree()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    const std::string &root() const { return root_; }
    std::string path(const std::string &rel) const { return root_ + "/" + rel; }

    // Creates rel (and its folders) with the given text.
    void file(const std::string &rel, const std::string &text = "x") const
    {
        std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
        std::ofstream(path(rel), std::ios::binary) << text;
    }
    void dir(const std::string &rel) const { std::filesystem::create_directories(path(rel)); }

private:
    std::string root_;
};

} // namespace platform_test
