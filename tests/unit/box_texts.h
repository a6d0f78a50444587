// The boxes' texts as the tests expect them, from the shared data file, in
// the code page the product's literals are built in.
#pragma once

#include <string>
#include <vector>

// The text called name, with each %s filled in order from fills.
std::string BoxText(const std::string& name, const std::vector<std::string>& fills = {});
