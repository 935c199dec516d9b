#include "navigation/nav_content.h"

#include <algorithm>

void Nav_SetField(std::vector<NavField>& fields, const std::string& label, std::string value) {
    auto it = std::find_if(fields.begin(), fields.end(), [&](const NavField& f) { return f.label == label; });
    if (it != fields.end())
        it->value = std::move(value);
}

std::vector<NavField> Nav_Fields(std::initializer_list<const char*> labels) {
    std::vector<NavField> fields;
    for (const char* label : labels)
        fields.push_back({label, {}});
    return fields;
}
