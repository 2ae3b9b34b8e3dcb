// Reading a file that the build generated, for the resource tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace trigora::test {

// The whole file, or an empty string when it cannot be read (the tests then fail on its size).
inline std::string ReadGeneratedFile(const std::string& name) {
    std::ifstream in(std::string(TRIGORA_GEN_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace trigora::test
