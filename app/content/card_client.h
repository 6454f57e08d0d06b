// The phone-book manager's view of the worker's device clients (TCardClt): one client per
// phone-book interface (12: SIM and phone memory, 13: full contacts, 14: groups). The manager
// creates its three clients once, through a factory the program hands to Init, and binds them when
// a handset connects. The worker's client class implements this; tests use a recording fake.
//
// The transfer requests themselves (read list, write list, extended status) are the worker's API
// and are reached through the concrete client; this seam covers only what the model needs: making
// the clients and binding them to the connection's interfaces.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace content {

// The phone-book interface ids of the driver (ms_itf.h: MS_ITF_PB, MS_ITF_PB2, MS_ITF_PB3).
inline constexpr int32_t kItfPhoneBook = 12;
inline constexpr int32_t kItfContacts = 13;
inline constexpr int32_t kItfGroups = 14;

class CardClient {
public:
    virtual ~CardClient() = default;
    // Binds the client to interface itfId of the connection numbered connSerial; requests made
    // afterwards go to that interface. A request on a stale serial fails in the worker (-7), so a
    // client needs no unbinding on disconnect.
    virtual void SetItf(int32_t itfId, uint64_t connSerial) = 0;
};

// Makes the client that will serve interface itfId (12, 13 or 14). Never answers null.
using CardClientFactory = std::function<std::unique_ptr<CardClient>(int32_t itfId)>;

} // namespace content
