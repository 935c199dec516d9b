// ID3v2.4 tags written as ID3v2.3 (TagLib), in a copy made for the disc: the user's file is never changed.
#pragma once

#include <string>

// Copies `source` to `copy` and writes its ID3v2 tag as version 2.3 there; false with the reason in `error`
// (the tag module or TagLib missing, a file TagLib cannot read or write).
bool Make_Id3v23Copy(const std::string& source, const std::string& copy, std::string& error);
