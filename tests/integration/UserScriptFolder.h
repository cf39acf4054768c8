#pragma once
// The user's script folder of the test process (under the isolated data folder),
// filled by a test and emptied again when it ends.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class UserScriptFolder {
public:
    UserScriptFolder() : path_(std::string(std::getenv("XDG_DATA_HOME")) + "/Corvanne/Lumenfold/Scripts")
    {
        std::filesystem::create_directories(path_);
    }
    ~UserScriptFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    UserScriptFolder(const UserScriptFolder&) = delete;
    UserScriptFolder& operator=(const UserScriptFolder&) = delete;

    void add(const std::string& name, const std::string& text) { std::ofstream(path_ / name) << text; }
    void addExample(const std::string& name)
    {
        std::filesystem::copy_file(std::filesystem::path(LUMENFOLD_EXAMPLES_DIR) / name, path_ / name);
    }

private:
    std::filesystem::path path_;
};
