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
bool DetectRockRidge(uint16_t device, const SessionEntry* s) {
    g_Walk.rootBlock.clear();
    if (RootExtent() >= SessionEnd(s))
        return false;
    std::vector<uint8_t>& block = g_Walk.rootBlock;
    block.assign(s->blockLength, 0);
    if (Aspi_ReadSectors(device, RootExtent(), s->blockLength, 1, block.data()) != ASPI_OK) {
        block.clear();
        return false;
    }
    g_Walk.rootBlockLbn = RootExtent();
    const size_t length = block[0];
    if (length < kMinDirectoryRecord || length > block.size())
        return false;
    const std::span<const uint8_t> self(block.data(), length);
    const std::span<const uint8_t> area = SystemUseArea(self, 0);
    if (area.size() < 7 || area[0] != 'S' || area[1] != 'P')
        return false;
    RockRidgeEntry rr;
    RockRidge_Parse(self, 0, s->blockLength, ReadSessionBlock, rr);
    g_Walk.suspSkip = rr.skip;
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

int iso_internal::AnalyzeSession(uint16_t device, SessionEntry* session, SessionTree* tree, uint8_t wanted,
                                 bool* stop) {
    g_DiscModel->currentSessionEntry = session;
    g_DiscModel->currentTree = tree;
    FileEntry* volume = NewRecord<FileEntry>();
    if (!volume)
        return *stop = true, ISO_ERR_NO_MEMORY;
    volume->type = 'V';
    tree->root = volume;
    g_Walk.currentNode = volume;
    g_Walk.currentIndex = 0;
    g_Walk.index.clear();
    g_Walk.tail.clear();
    g_Walk.device = device;

    // A session whose block length no buffer can take is refused like a bad descriptor set.
    const bool usable = session->blockLength != 0 && session->blockLength <= kBufferSize;
    int result = usable ? Iso_ReadVolumeDescriptors(device) : ISO_ERR_DESCRIPTOR;
    if (result == ISO_OK) {
        g_Walk.descriptor = g_Walk.primary;
        tree->recordedNames = uint8_t(ISO_NAMES_PRIMARY | (g_Walk.haveJoliet ? ISO_NAMES_JOLIET : 0) |
                                      (DetectRockRidge(device, session) ? ISO_NAMES_ROCKRIDGE : 0));
        tree->names = wanted ? wanted : ShownNames(tree->recordedNames, g_Walk.preferred);
        if (tree->recordedNames & tree->names) {
            if (tree->names == ISO_NAMES_JOLIET)
                g_Walk.descriptor = g_Walk.joliet;
            g_Walk.rockRidge = tree->names == ISO_NAMES_ROCKRIDGE;
            result = Iso_AnalyzePathTable(device);
            // A malformed path table keeps what was placed and lets the later sessions be read; read and
            // memory failures end the analysis.
            *stop = result != ISO_OK && result != ISO_ERR_DESCRIPTOR;
        } else {
            result = ISO_ERR_DESCRIPTOR;
        }
    }
    g_Walk.rootBlock.clear();
    g_Walk.index.clear();
    g_Walk.tail.clear();
    g_Walk.walked.clear();
    g_Walk.currentNode = nullptr;
    return result;
}

int Iso_AnalyzeDataSessions(uint16_t device, uint8_t names) {
    if (!g_DiscModel)
        return ISO_ERR_NO_MODEL;
    g_Walk.preferred =
        (names == ISO_NAMES_PRIMARY || names == ISO_NAMES_JOLIET || names == ISO_NAMES_ROCKRIDGE) ? names : 0;
    int result = ISO_OK;
    g_CurrentSession = 0;
    SessionEntry* session = g_DiscModel->firstSession;
    const bool audioFirst = session && !Iso_IsDataType(session->type);
    for (SessionTree* tree = g_DiscModel->firstTree; tree && session; tree = tree->next) {
        bool stop = false;
        if (!Iso_IsDataType(session->type)) { // a CD-Extra's audio session
            result = Iso_AnalyzeAudioSession(device, session, tree);
            stop = result != ISO_OK;
        } else {
            result = AnalyzeSession(device, session, tree, 0, &stop);
            // The data session of a CD-Extra that holds no volume leaves its audio as it is.
            if (audioFirst && result == ISO_ERR_DESCRIPTOR)
                result = ISO_OK;
            if (!stop && tree->root)
                if (const int rc = Iso_AddAudioFolder(device, session, tree); rc != ISO_OK)
                    result = rc, stop = true;
        }
        if (stop)
            break;
        session = session->next;
        ++g_CurrentSession;
    }
    g_Walk.preferred = 0;
    return result;
}

namespace {

// The session record of a tree of the model's list.
SessionEntry* SessionOf(const SessionTree* tree) {
    SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t && s;
         t = t->next, s = s->next)
        if (t == tree)
            return s;
    return nullptr;
}

} // namespace

SessionTree* Iso_NamesTree(SessionTree* tree, uint8_t names) {
    if (!tree || !g_DiscModel)
        return nullptr;
    if (tree->names == names)
        return tree;
    if (!(tree->recordedNames & names))
        return nullptr;
    for (SessionTree* other = tree->otherNames; other; other = other->next)
        if (other->names == names)
            return (other->notes & ISO_TREE_NOT_READ) ? nullptr : other;
    SessionEntry* session = SessionOf(tree);
    if (!session)
        return nullptr;
    SessionTree* other = NewRecord<SessionTree>();
    if (!other)
        return nullptr;
    other->names = names;
    other->next = tree->otherNames; // kept whatever the read gives, so that it is tried once
    tree->otherNames = other;
    // The walk works on the model's cursors: they are lent to this session and given back.
    SessionEntry* const cursorSession = g_DiscModel->currentSessionEntry;
    SessionTree* const cursorTree = g_DiscModel->currentTree;
    bool stop = false;
    const int rc = AnalyzeSession(g_DiscModel->device, session, other, names, &stop);
    g_DiscModel->currentSessionEntry = cursorSession;
    g_DiscModel->currentTree = cursorTree;
    // A tree that could not be read whole is not given out; what it holds goes with the model, as the
    // entries kept beside it do.
    if ((rc != ISO_OK && rc != ISO_ERR_DESCRIPTOR) || !other->root ||
        Iso_AddAudioFolder(g_DiscModel->device, session, other) != ISO_OK)
        other->notes |= ISO_TREE_NOT_READ;
    return (other->notes & ISO_TREE_NOT_READ) ? nullptr : other;
}

SessionTree* Iso_ReportTree(SessionTree* tree) {
    if (tree && (tree->recordedNames & ISO_NAMES_JOLIET))
        if (SessionTree* joliet = Iso_NamesTree(tree, ISO_NAMES_JOLIET))
            return joliet;
    return tree;
}
