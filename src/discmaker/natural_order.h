// Names in the order a person reads them: runs of digits by their value ("Track 2" before "Track 10"), the
// rest by its characters with ASCII letters in any case.
#pragma once

#include <string_view>

bool Make_NaturalLess(std::string_view a, std::string_view b);
