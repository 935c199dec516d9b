// The order of the file list's rows: the disc's own, or by one column up or down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "iso9660/iso_model.h"

struct ListSort {
    int column = -1; // -1: the disc's order; 0 name, 1 LBN, 2 size, 3 date, 4 title
    bool descending = false;
    bool operator==(const ListSort&) const = default;
};

// The order a click on the heading of `column` gives after `current`: a new column up, the same column
// down, then back to the disc's order.
ListSort List_NextSort(const ListSort& current, int column);

// Orders the rows of one directory, given in the disc's order: names in natural order (the collation of the
// user's language, digits compared as numbers: "Track2" before "Track10"), LBN and size as numbers, dates as
// the moments they name (a directory by its own recording time). Equal keys keep the disc's order, and "."
// and ".." stay on top either way. `order` gets the rows' disc positions in their new order.
void List_Sort(const std::vector<const FileEntry*>& entries, const ListSort& sort,
               std::vector<uint32_t>& order);

// A sort as --sort gives it: "name", "lbn", "size", "date" or "title", ":desc" after it for the other way,
// "disc" for the disc's order; false for another text.
bool List_ParseSort(const std::string& text, ListSort& sort);
