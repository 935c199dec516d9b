#include "appmodel/left_view_model.h"

#include <cstdio>
#include <utility>

#include "iso9660/iso9660.h"
#include "res/resource.h"

void CLeftViewModel::Clear() {
    m_selected = -1;
    m_items.clear();
    m_topLevel.clear();
}

int CLeftViewModel::Insert(int parent, std::string text, int image, int selectedImage, uint32_t number,
                           const FileEntry* entry) {
    TreeItem item;
    item.entry = entry;
    item.text = std::move(text);
    item.image = image;
    item.selectedImage = selectedImage;
    item.number = number;
    item.parent = parent;
    int index = static_cast<int>(m_items.size());
    m_items.push_back(std::move(item));
    if (parent < 0)
        m_topLevel.push_back(index);
    else
        m_items[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

void CLeftViewModel::Fill(const DiscModel* model) {
    Clear();
    if (!model)
        return;
    uint32_t next = 0;
    int session = 0;
    struct Pending {
        const FileEntry* first; // chain still to insert
        int parent;
    };
    std::vector<Pending> stack;
    for (const SessionTree* tree = model->firstTree; tree; tree = tree->next) {
        ++session;
        const FileEntry* root = tree->root;
        char text[300];
        std::snprintf(text, sizeof text, "(Session%d) %s", session, root ? Iso_EntryName(root) : "");
        int item = Insert(-1, text, IMG_CD, IMG_CD, next++, root);
        if (!root)
            continue; // a session without a root still takes its number
        stack.push_back({root->firstChild, item});
        while (!stack.empty()) {
            Pending& top = stack.back();
            const FileEntry* e = top.first;
            while (e && e->type != 'D')
                e = e->nextSibling;
            if (!e) {
                stack.pop_back();
                continue;
            }
            top.first = e->nextSibling;
            int parent = top.parent;
            // A directory that could not be read shows the error picture, open or closed.
            const bool unreadable = e->flags & ISO_UNREADABLE;
            int dir = Insert(parent, Iso_EntryName(e), unreadable ? IMG_ERROR : IMG_FOLDER_CLOSED,
                             unreadable ? IMG_ERROR : IMG_FOLDER_OPEN, next++, e);
            m_items[static_cast<size_t>(parent)].expanded = true;
            if (e->firstChild)
                stack.push_back({e->firstChild, dir}); // children before the next sibling: pre-order
        }
    }
}

bool CLeftViewModel::Select(int item, uint32_t* hint) {
    if (item < -1 || item >= static_cast<int>(m_items.size()))
        return false;
    if (item == m_selected)
        return false;
    m_selected = item;
    if (item < 0)
        return false;
    if (hint)
        *hint = m_items[static_cast<size_t>(item)].number;
    return true;
}
