// The pictures of the main window's trees and lists, by index into the one picture list the window
// hands to the views (content/qt/pictures.h makes it). A box's node shows the picture of its box id;
// a message row the picture of its state, which its own box decides first: so a message reads the
// same in every list that shows it, and no state wears a box's picture by accident.
//
//   row.image = content::messagePicture(box, states);
//   node->setIcon(0, list.value(content::boxPicture(box)));
#pragma once

#include <cstdint>

namespace content {

enum Picture : int {
    // 0 to 9: the message boxes by id (6 has no node and shares the recycle box's picture).
    kPicLocalRoot = 0,
    kPicInbox = 1,
    kPicOutbox = 2,
    kPicSentBox = 3,
    kPicDraftBox = 4,
    kPicRecycleBox = 5,
    kPicPhoneRoot = 7,
    kPicPhoneInbox = 8,
    kPicPhoneStored = 9,
    // Message states.
    kPicUnread = 10,
    kPicRead = 11,
    kPicSent = 12,
    kPicUnsent = 13,
    kPicDraft = 14,
    kPicDeleted = 15,
    // Phrases.
    kPicPhraseRoot = 16,
    kPicPhraseGroup = 17,
    kPicPhrase = 18,
    // Contacts: a book's root, the storages, a contact.
    kPicBook = 19,
    kPicStorageSim = 20,
    kPicStoragePhone = 21,
    kPicStorageContacts = 22,
    kPicStorageGroups = 23,
    kPicContact = 24,
    kPictureCount = 25
};

// The picture of a box's node; the recycle box's for box 6, -1 for an id that is no box.
constexpr int boxPicture(int box)
{
    if (box == 6)
        return kPicRecycleBox;
    return box >= 0 && box <= 9 ? box : -1;
}

// The picture of a message row from its own box and its states (1 read; 3 sent; 0 and 2 are
// not yet read when received, not yet sent when outgoing).
constexpr int messagePicture(int box, int states)
{
    switch (box) {
    case 5:
    case 6: return kPicDeleted;
    case 3: return kPicSent;
    case 4: return kPicDraft;
    case 2: return states == 3 ? kPicSent : kPicUnsent;
    case 9: return states == 3 ? kPicSent : kPicUnsent; // outgoing messages stored on the handset
    default: return states == 1 ? kPicRead : states == 3 ? kPicSent : kPicUnread;
    }
}

// The picture of a contact tree node by its storage code (0: a book's root).
constexpr int storagePicture(int32_t storage)
{
    switch (storage) {
    case 1: return kPicStorageSim;
    case 2: return kPicStoragePhone;
    case 4: return kPicStorageContacts;
    case 8: return kPicStorageGroups;
    default: return kPicBook;
    }
}

} // namespace content
