// The data sessions' trees: each session read in the names it is shown in (Rock Ridge, else Joliet, else the
// primary identifiers, as Linux mounts it), its other names read when first asked for (the report's Joliet
// names, a player's primary names).
#include <span>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/ecma119.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;
using namespace ecma119;

namespace {

constexpr size_t kMinDirectoryRecord = 34; // ECMA-119 9.1: 33 fixed bytes and one identifier byte

// Whether the primary volume's root directory's "." record starts its System Use area with the SUSP "SP"
// entry and Rock Ridge entries follow (ER, or the entries themselves); the skip of every area comes from SP.
// The block read stays in the walk, which takes the root's first block from there.
bool DetectRockRidge(DirectoryWalk& w, const SessionEntry* s) {
    w.rootBlock.clear();
    if (RootExtent(w) >= SessionEnd(s))
        return false;
    std::vector<uint8_t>& block = w.rootBlock;
    block.assign(s->blockLength, 0);
    if (Aspi_ReadSectors(w.blocks.device, RootExtent(w), s->blockLength, 1, block.data()) != ASPI_OK) {
        block.clear();
        return false;
    }
    w.rootBlockLbn = RootExtent(w);
    const size_t length = block[0];
    if (length < kMinDirectoryRecord || length > block.size())
        return false;
    const std::span<const uint8_t> self(block.data(), length);
    const std::span<const uint8_t> area = SystemUseArea(self, 0);
    if (area.size() < 7 || area[0] != 'S' || area[1] != 'P')
        return false;
    RockRidgeEntry rr;
    RockRidge_Parse(self, 0, s->blockLength, &w.blocks, rr);
    w.suspSkip = rr.skip;
    return rr.sharingProtocol && (rr.extension || rr.rockRidge);
}

// The names a session is read in, of those it records: `preferred` where it is one of them.
uint8_t ShownNames(uint8_t recorded, uint8_t preferred) {
    if (recorded & preferred)
        return preferred;
    if (recorded & ISO_NAMES_ROCKRIDGE)
        return ISO_NAMES_ROCKRIDGE;
    return (recorded & ISO_NAMES_JOLIET) ? ISO_NAMES_JOLIET : ISO_NAMES_PRIMARY;
}

} // namespace

int iso_internal::AnalyzeSession(Disc& d, SessionEntry* session, SessionTree* tree, uint8_t wanted,
                                 bool* stop) {
    DirectoryWalk& w = *d.walk;
    FileEntry* volume = NewEntry(d);
    if (!volume)
        return *stop = true, ISO_ERR_NO_MEMORY;
    volume->type = 'V';
    tree->root = volume;
    w.blocks = {session, d.device};
    w.tree = tree;
    w.currentNode = volume;
    w.currentIndex = 0;
    w.index.clear();
    w.tail.clear();

    // A session whose block length no buffer can take is refused like a bad descriptor set.
    const bool usable = session->blockLength != 0 && session->blockLength <= kBufferSize;
    int result = usable ? ReadVolumeDescriptors(d) : ISO_ERR_DESCRIPTOR;
    if (result == ISO_OK) {
        w.descriptor = w.primary;
        tree->recordedNames = uint8_t(ISO_NAMES_PRIMARY | (w.haveJoliet ? ISO_NAMES_JOLIET : 0) |
                                      (DetectRockRidge(w, session) ? ISO_NAMES_ROCKRIDGE : 0));
        tree->names = wanted ? wanted : ShownNames(tree->recordedNames, w.preferred);
        if (tree->recordedNames & tree->names) {
            if (tree->names == ISO_NAMES_JOLIET)
                w.descriptor = w.joliet;
            w.rockRidge = tree->names == ISO_NAMES_ROCKRIDGE;
            result = AnalyzePathTable(d);
            // A malformed path table keeps what was placed and lets the later sessions be read; read and
            // memory failures end the analysis.
            *stop = result != ISO_OK && result != ISO_ERR_DESCRIPTOR;
        } else {
            result = ISO_ERR_DESCRIPTOR;
        }
    }
    w.rootBlock.clear();
    w.index.clear();
    w.tail.clear();
    w.walked.clear();
    w.currentNode = nullptr;
    w.blocks = {};
    w.tree = nullptr;
    return result;
}

int iso_internal::AnalyzeDataSessions(Disc& d, uint8_t names) {
    DirectoryWalk& w = *d.walk;
    DiscModel* model = d.model;
    if (!model)
        return ISO_ERR_NO_MODEL;
    w.preferred =
        (names == ISO_NAMES_PRIMARY || names == ISO_NAMES_JOLIET || names == ISO_NAMES_ROCKRIDGE) ? names : 0;
    int result = ISO_OK;
    d.shownSession = 0;
    SessionEntry* session = model->firstSession;
    const bool audioFirst = session && !Iso_IsDataType(session->type);
    for (SessionTree* tree = model->firstTree; tree && session; tree = tree->next) {
        bool stop = false;
        if (!Iso_IsDataType(session->type)) { // a CD-Extra's audio session
            result = AnalyzeAudioSession(d, session, tree);
            stop = result != ISO_OK;
        } else {
            // The model's cursor follows the analysis.
            model->currentSessionEntry = session;
            model->currentTree = tree;
            result = AnalyzeSession(d, session, tree, 0, &stop);
            // The data session of a CD-Extra that holds no volume leaves its audio as it is.
            if (audioFirst && result == ISO_ERR_DESCRIPTOR)
                result = ISO_OK;
            if (!stop && tree->root)
                if (const int rc = AddAudioFolder(d, session, tree); rc != ISO_OK)
                    result = rc, stop = true;
        }
        if (stop)
            break;
        session = session->next;
        ++d.shownSession;
    }
    w.preferred = 0;
    return result;
}

namespace {

// The session record of a tree of the model's list.
SessionEntry* SessionOf(const DiscModel* model, const SessionTree* tree) {
    SessionEntry* s = model ? model->firstSession : nullptr;
    for (const SessionTree* t = model ? model->firstTree : nullptr; t && s; t = t->next, s = s->next)
        if (t == tree)
            return s;
    return nullptr;
}

} // namespace

SessionTree* Iso_NamesTree(Disc& d, SessionTree* tree, uint8_t names) {
    if (!tree || !d.model)
        return nullptr;
    if (tree->names == names)
        return tree;
    if (!(tree->recordedNames & names))
        return nullptr;
    for (SessionTree* other = tree->otherNames; other; other = other->next)
        if (other->names == names)
            return (other->notes & ISO_TREE_NOT_READ) ? nullptr : other;
    SessionEntry* session = SessionOf(d.model, tree);
    if (!session)
        return nullptr;
    SessionTree* other = NewRecord<SessionTree>();
    if (!other)
        return nullptr;
    other->names = names;
    other->next = tree->otherNames; // kept whatever the read gives, so that it is tried once
    tree->otherNames = other;
    bool stop = false;
    const int rc = AnalyzeSession(d, session, other, names, &stop);
    // A tree that could not be read whole is not given out; what it holds goes with the model, as the
    // entries kept beside it do.
    if ((rc != ISO_OK && rc != ISO_ERR_DESCRIPTOR) || !other->root ||
        AddAudioFolder(d, session, other) != ISO_OK)
        other->notes |= ISO_TREE_NOT_READ;
    return (other->notes & ISO_TREE_NOT_READ) ? nullptr : other;
}

SessionTree* Iso_ReportTree(Disc& d, SessionTree* tree) {
    if (tree && (tree->recordedNames & ISO_NAMES_JOLIET))
        if (SessionTree* joliet = Iso_NamesTree(d, tree, ISO_NAMES_JOLIET))
            return joliet;
    return tree;
}
