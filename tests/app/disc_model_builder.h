// Builds disc models by hand for the content-model tests and installs them as g_DiscModel; owns their parts.
#pragma once

#include <cstring>
#include <deque>

#include "iso9660/iso_model.h"

class DiscModelBuilder {
  public:
    DiscModelBuilder() = default;
    DiscModelBuilder(const DiscModelBuilder&) = delete;
    DiscModelBuilder& operator=(const DiscModelBuilder&) = delete;
    ~DiscModelBuilder() { Uninstall(); }

    SessionEntry* AddSession(uint8_t type, uint32_t lastBlock = 1000, uint32_t blockLength = 2048) {
        SessionEntry& s = Append(sessions_, &model_.firstSession, &SessionEntry::next);
        s.type = type;
        s.sessionNumber = model_.sessionCount = static_cast<uint8_t>(sessions_.size());
        s.lastBlock = lastBlock;
        s.blockLength = blockLength;
        return &s;
    }
    // A track of its session's kind unless `control` says otherwise.
    void AddTrack(SessionEntry* s, uint8_t number, uint32_t address, uint32_t size, int control = -1) {
        const uint8_t c = control < 0 ? uint8_t(s->type & 0x0F) : uint8_t(control);
        Append(tracks_, &s->firstTrack, &TrackEntry::next) = {number, address, size, nullptr, c};
        s->lastTrack = number;
    }
    // A session tree; `volume` null gives a tree without a root entry.
    FileEntry* AddTree(const char* volume, uint32_t directoryCount) {
        SessionTree& t = Append(trees_, &model_.firstTree, &SessionTree::next);
        t.root = volume ? NewEntry('V', volume, nullptr, 0, 0) : nullptr;
        t.directoryCount = directoryCount;
        return t.root;
    }
    FileEntry* Dir(FileEntry* parent, const char* name, uint32_t lbn = 20) {
        return NewEntry('D', name, parent, lbn, 2048);
    }
    FileEntry* File(FileEntry* parent, const char* name, uint32_t lbn, uint32_t size) {
        FileEntry* e = NewEntry('F', name, parent, lbn, size);
        const uint8_t date[7] = {102, 10, 21, 9, 5, 7, 36};
        std::memcpy(e->date, date, sizeof date);
        return e;
    }
    DiscModel* Model() { return &model_; }
    void Install() { previous_ = g_DiscModel, g_DiscModel = &model_; }
    void Uninstall() {
        if (g_DiscModel == &model_)
            g_DiscModel = previous_;
    }

  private:
    template <class T> static T& Append(std::deque<T>& store, T** link, T* T::*next) {
        while (*link)
            link = &((*link)->*next);
        return *(*link = &store.emplace_back());
    }
    FileEntry* NewEntry(char type, const char* name, FileEntry* parent, uint32_t lbn, uint32_t size) {
        FileEntry* e = parent ? &Append(entries_, &parent->firstChild, &FileEntry::nextSibling)
                              : &entries_.emplace_back();
        e->type = type;
        std::strncpy(e->name, name, sizeof e->name - 1);
        e->lbn = lbn;
        e->size = size;
        return e;
    }

    DiscModel model_{};
    DiscModel* previous_ = nullptr;
    std::deque<SessionEntry> sessions_;
    std::deque<TrackEntry> tracks_;
    std::deque<SessionTree> trees_;
    std::deque<FileEntry> entries_;
};
