// The composer's counting and splitting engine: how many characters a text has, whether it fits
// one message, how a long text is cut into numbered parts for each recipient, and how a stored
// part is stripped of its title and signature again. UTF-8 in and out, no widgets.
//
//   content::SplitSettings s{.haveTitle = true, .signatureOn = true, .signature = "Jo"};
//   content::SplitResult r = content::SplitSms(Ssms{.Tel = "+44;+49", .body = text}, s);
//   if (r.noRoom) refuse(); else sms.SendMessages(r.records);
//
// Counting follows what the driver's SUBMIT encoder sends: a message goes out in 7 bits (160
// characters) only when every character of it is one the encoder sends so (letters, digits, blank,
// CR, LF and !"#$%&'()*+,-./:;<=>?@_); any other character ("wide": every non-ASCII character,
// "[", "\", "]", "^", "`", "{", "|", "}", "~", DEL and the other controls) sends the whole message
// as UCS-2, 70 units. A character outside the BMP counts 2 (a surrogate pair). A wide character
// anywhere in a message, its title or its signature puts the whole message on the 70 limit. Cuts
// fall on character boundaries; malformed UTF-8 bytes count as one wide character each.
#pragma once

#include "content/sms_manage.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace content {

inline constexpr int kSmsNarrowLimit = 160;
inline constexpr int kSmsWideLimit = 70;

struct SplitSettings {
    bool haveTitle = true;    // number the parts "<1>", "<2>", ...
    bool signatureOn = true;  // append "<" + signature + ">"
    std::string signature;    // the trimmed signature text
};

// Number of characters of text as counted for a message (a non-BMP character counts 2).
int GetSmsLength(std::string_view text);
// True when text holds a character that makes the message UCS-2.
bool HasWideChar(std::string_view text);
// Extra characters the signature takes in every message: its length + 2, or 0 when none is
// appended.
int SignatureAllowance(const SplitSettings &s);
// Whether text, with the signature, does not fit in one message.
bool IsSmsTooLong(std::string_view text, const SplitSettings &s);
// The longest prefix of text, cut on a character boundary, that is not too long.
std::string CutToOneMessage(std::string_view text, const SplitSettings &s);

struct SplitResult {
    ArraySms records;
    // Title and signature leave a part no room for the next character: nothing can be split and
    // records is empty.
    bool noRoom = false;
};

// The records to send or store for r: r.Tel is the whole recipient text, cut at each ";" (pieces
// kept untrimmed, empty ones too; a missing final ";" is implied), r.body the text. For each
// recipient, in order: one record when the body fits one message, else parts numbered from 1.
// Only the first record of the list takes r.id and r.Tid; the others -1. An empty r.time becomes
// "--".
SplitResult SplitSms(const Ssms &r, const SplitSettings &s);

struct StrippedText {
    std::string text;
    std::string signature; // the trailing "<...>" signature's text, empty when none
};
// Removes the composer's own framing from a stored text: a leading title "<digits>" and one
// trailing signature "<...>" (non-empty, without "<" inside). Any other angle brackets are text
// and stay.
StrippedText StripTags(std::string_view text);

// One combo box of the composer's value lists: its typed text and its entries.
struct ComboValues {
    std::string typed;
    std::vector<std::string> entries;
};
// Adds a value to the value list of a class (core::kSSInfoSignature, core::kSSInfoServiceCentre).
using ValueListSink = std::function<void(int cls, const std::string &value)>;
// Keeps new texts: for the signature (class 1) and then the service centre (class 0), a typed
// text whose trimmed form is not empty and not among the entries is added, trimmed, to the value
// list of its class and to the entries.
void SaveValueLists(const ValueListSink &add, ComboValues &signature, ComboValues &centre);

// Text without leading and trailing blanks and control bytes.
std::string TrimText(std::string_view text);

} // namespace content
