// libFuzzer entry: arbitrary bytes as the preference file, then every kind of read and
// one write (which rewrites the file around the fuzzed lines). The configuration
// folder is a fresh temporary one for the whole run.

#include "platform/PreferenceStore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class Harness {
public:
    Harness()
    {
        char pattern[] = "/tmp/lumenfold-fuzz-preferences-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        root_ = made != nullptr ? made : "/tmp";
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        file_ = platform::preferenceFilePath();
        std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
    }
    ~Harness()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    void run(const std::uint8_t* data, std::size_t size)
    {
        writeFile(data, size);
        const std::string firstName = nameFromFirstLine(data, size);
        for (const std::string& name : {std::string("OSC Base Port"), std::string("Skin"), firstName}) {
            (void)platform::readPreferenceInt(name, 7000);
            (void)platform::readPreferenceString(name);
        }
        // Writing is slow (a rename and an fsync): only for inputs that ask for it.
        if (size > 0 && data[0] == '!') {
            platform::writePreferenceInt("OSC Base Port", static_cast<int>(size));
            (void)platform::readPreferenceInt(firstName, 0);
        }
    }

private:
    void writeFile(const std::uint8_t* data, std::size_t size)
    {
        std::FILE* file = std::fopen(file_.c_str(), "wb");
        if (file == nullptr) {
            std::abort();
        }
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }

    static std::string nameFromFirstLine(const std::uint8_t* data, std::size_t size)
    {
        std::string name;
        for (std::size_t i = 0; i < size && data[i] != '=' && data[i] != '\n'; ++i) {
            name.push_back(static_cast<char>(data[i]));
        }
        return name;
    }

    std::string root_;
    std::string file_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness harness;  // lives for the whole run; its folder goes at exit
    harness.run(data, size);
    return 0;
}
