// The program keeps its texts as GBK (code page 936) bytes; Windows is called with UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace trigora {

std::wstring Wide(std::string_view gbk);
std::string Gbk(std::wstring_view wide);

} // namespace trigora
