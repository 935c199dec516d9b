// What a navigation-file viewer shows, apart from its widgets: labelled header values and report lists.
#pragma once

#include <string>
#include <vector>

struct NavField {
    std::string label;
    std::string value; // Shift-JIS
};

struct NavList {
    std::string title;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows; // in walk order; a row may have fewer cells than columns
};
