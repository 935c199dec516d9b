// What a navigation-file viewer shows, apart from its widgets: labelled header values, report lists and
// trees.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

struct NavField {
    std::string label;
    std::string value; // UTF-8
};

struct NavList {
    std::string title;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows; // in walk order; a row may have fewer cells than columns
};

// A tree item; `number` is what the viewer keys its selection on (the playlist groups' chain position).
struct NavTreeItem {
    std::string text; // UTF-8
    int number = 0;
    bool expanded = false;
    std::vector<NavTreeItem> children;
};

// Sets `label`'s value in `fields`; the label must be one of them.
void Nav_SetField(std::vector<NavField>& fields, const std::string& label, std::string value);
// Fields with the given labels and empty values.
std::vector<NavField> Nav_Fields(std::initializer_list<const char*> labels);
