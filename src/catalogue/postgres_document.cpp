// What the PostgreSQL catalogue's trigram index is given and asked: a block's entries' texts folded as a
// search folds them, and a search's text as a LIKE pattern. The index only narrows the blocks; their entries
// are then checked as in every store (Cat_EntryHolds).
#include <unordered_set>

#include "catalogue/catalogue_text.h"
#include "catalogue/postgres_catalogue.h"
#include "iso9660/iso9660.h"

namespace {

// A folded character as the document holds it: the server's text takes neither NUL nor code points that
// are no characters, so those become a line break and U+FFFD; the same is done to the text looked for, so
// that a document holds its pattern whenever the entry's texts hold the text.
void Append(std::string& out, uint32_t c) {
    if (c == 0)
        out += '\n';
    else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        Iso_AppendUtf8(out, 0xFFFD);
    else
        Iso_AppendUtf8(out, c);
}

} // namespace

std::string cat_pg::BlockDocument(std::span<const CatalogueEntry> entries) {
    // A text the document holds already (an album's or artist's name on each of its songs) is not written
    // again: the server's trigram work follows the document's length, and a search finds the block all the
    // same.
    std::string doc;
    std::unordered_set<std::string> seen;
    std::string line;
    for (const CatalogueEntry& e : entries)
        for (const std::string* t : {&e.path, &e.title, &e.artist, &e.album}) {
            if (t->empty())
                continue;
            line.clear();
            for (uint32_t c : Cat_Folded(*t))
                Append(line, c);
            if (seen.insert(line).second)
                doc += line + '\n';
        }
    return doc;
}

std::string cat_pg::LikePattern(const std::string& text) {
    std::string folded;
    for (uint32_t c : Cat_Folded(text))
        Append(folded, c);
    std::string pattern = "%";
    for (char c : folded) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}
