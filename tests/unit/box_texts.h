// The boxes' texts as the tests expect them, from the shared data file.
#pragma once

#include <string>
#include <vector>

// The text called name in UTF-8, with each %s filled in order from fills.
std::string BoxText(const std::string& name, const std::vector<std::string>& fills = {});
// UTF-8 text in code page 932, as the product's literals are built.
std::string Cp932(const std::string& utf8);
