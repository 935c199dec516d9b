// Builds disc models by hand for the content-model tests and installs them as g_DiscModel; frees them itself.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "iso9660/iso_model.h"

class DiscModelBuilder {
  public:
    DiscModelBuilder() { model_ = new DiscModel{}; }
    ~DiscModelBuilder() {
        Uninstall();
        Free();
    }
    DiscModelBuilder(const DiscModelBuilder&) = delete;
    DiscModelBuilder& operator=(const DiscModelBuilder&) = delete;

    SessionEntry* AddSession(uint8_t type, uint32_t lastBlock = 1000, uint32_t blockLength = 2048) {
        auto* s = new SessionEntry{};
        s->type = type;
        s->sessionNumber = static_cast<uint8_t>(++sessions_);
        s->lastBlock = lastBlock;
        s->blockLength = blockLength;
        SessionEntry** link = &model_->firstSession;
        while (*link)
            link = &(*link)->next;
        *link = s;
        model_->sessionCount = static_cast<uint8_t>(sessions_);
        return s;
    }
    TrackEntry* AddTrack(SessionEntry* s, uint8_t number, uint32_t address, uint32_t size) {
        auto* t = new TrackEntry{number, address, size, nullptr};
        TrackEntry** link = &s->firstTrack;
        while (*link)
            link = &(*link)->next;
        *link = t;
        s->lastTrack = number;
        return t;
    }
    // A session tree; `volume` null gives a tree without a root entry.
    FileEntry* AddTree(const char* volume, uint32_t directoryCount) {
        auto* t = new SessionTree{};
        if (volume)
            t->root = NewEntry('V', volume, nullptr);
        t->directoryCount = directoryCount;
        SessionTree** link = &model_->firstTree;
        while (*link)
            link = &(*link)->next;
        *link = t;
        return t->root;
    }
    FileEntry* Dir(FileEntry* parent, const char* name, uint32_t lbn = 20) {
        FileEntry* e = NewEntry('D', name, parent);
        e->lbn = lbn;
        e->size = 2048;
        return e;
    }
    FileEntry* File(FileEntry* parent, const char* name, uint32_t lbn, uint32_t size) {
        FileEntry* e = NewEntry('F', name, parent);
        e->lbn = lbn;
        e->size = size;
        const uint8_t date[7] = {102, 10, 21, 9, 5, 7, 36};
        std::memcpy(e->date, date, sizeof date);
        return e;
    }
    DiscModel* Model() { return model_; }
    void Install() {
        previous_ = g_DiscModel;
        g_DiscModel = model_;
        installed_ = true;
    }
    void Uninstall() {
        if (installed_ && g_DiscModel == model_)
            g_DiscModel = previous_;
        installed_ = false;
    }

  private:
    FileEntry* NewEntry(char type, const char* name, FileEntry* parent) {
        auto* e = new FileEntry{};
        e->type = type;
        std::strncpy(e->name, name, sizeof e->name - 1);
        entries_.push_back(e);
        if (parent) {
            FileEntry** link = &parent->firstChild;
            while (*link)
                link = &(*link)->nextSibling;
            *link = e;
        }
        return e;
    }
    void Free() {
        for (FileEntry* e : entries_)
            delete e;
        for (SessionTree* t = model_->firstTree; t;) {
            SessionTree* n = t->next;
            delete t;
            t = n;
        }
        for (SessionEntry* s = model_->firstSession; s;) {
            for (TrackEntry* t = s->firstTrack; t;) {
                TrackEntry* n = t->next;
                delete t;
                t = n;
            }
            SessionEntry* n = s->next;
            delete s;
            s = n;
        }
        delete model_;
    }

    DiscModel* model_;
    DiscModel* previous_ = nullptr;
    bool installed_ = false;
    int sessions_ = 0;
    std::vector<FileEntry*> entries_;
};
