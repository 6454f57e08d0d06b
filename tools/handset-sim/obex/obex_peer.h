/*
 * obex_peer.h — a simulated handset's OBEX server with an IrMC phone-book object store, on the
 * IrDA stand-in stack (devlib/transport/irda_standin.h). A test tool.
 *
 * The peer appears in the stand-in folder as one device offering the services "IrDA:IrCOMM"
 * (OBEX carried in IrCOMM 3-wire raw frames, each led by a control-length byte: what CnsIrda
 * connects to) and "OBEX" (OBEX packets straight in the frames). It parses OBEX itself and shares
 * no code with the library's client, so it is the yardstick the client is measured against.
 *
 * It serves: CONNECT (any Target is echoed in a Who header, followed by a Connection-Id),
 * DISCONNECT, SETPATH, ABORT; GET of "telecom/pb/info.log", "telecom/pb.vcf" (every card, each with
 * its X-IRMC-LUID), "telecom/pb/<n>.vcf", "telecom/pb/luid/<id>.vcf" and the type
 * "x-obex/folder-listing"; PUT of the same names (a PUT without a body deletes; an empty record id
 * inserts and the response's Application-Parameters carry the new id and the change counter), and
 * of any other name into an inbox. GET responses are cut into Continue packets that respect the
 * client's announced maximum (and bodyChunk when set); frames respect the MTU.
 *
 * Faults: the next final request can be answered with a chosen response code, the next response
 * replaced by scripted bytes, or the link dropped. Every request is logged with its raw packets
 * and the raw responses sent to it.
 *
 * The peer runs its own thread; every public member may be called from the test's thread.
 */
#ifndef OBEX_PEER_H
#define OBEX_PEER_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace obexpeer {

using Bytes = std::vector<uint8_t>;

struct PeerConfig {
    std::string dir;                  // stand-in folder; empty: IrdaStandin_dir()
    uint32_t deviceId = 0x0B5E0001;
    std::string nickname = "SimObex";
    int mtu = 64;                     // IrLAP data size announced to clients
    uint16_t maxPacket = 1024;        // the peer's maximum packet length in its CONNECT response
    uint32_t connectionId = 0x2A;     // given to clients that name a Target; 0 gives none
    size_t bodyChunk = 0;             // body bytes per GET response packet; 0 fills each packet

    // The phone-book store and its info.log.
    int capacity = 100;               // slots (static indexes 0 .. capacity - 1)
    std::string maximumRecords = "100"; // the Maximum-Records text ("*" allowed); empty: line left out
    bool giveTotal = true;            // Total-Records line (the used slots)
    bool giveFree = true;             // Free-Records line (capacity - used)
    std::string iel = "0x08";         // IEL text
    std::vector<std::string> fields;  // lines of the X-IRMC-FIELDS block; none: no block
    std::optional<std::string> infoLog; // when set, served as info.log verbatim
    std::string luidPrefix = "L";     // new record ids: prefix + counter in hex,
    int luidDigits = 4;               // zero-padded to this many digits
};

struct Record {
    std::string luid;
    std::string card;                 // as stored (without X-IRMC-LUID)
};

// One request as the peer saw it.
struct Request {
    uint8_t opcode = 0;               // without the final bit
    std::string name;                 // the Name header, UCS-2 turned to 8-bit text
    std::string type;                 // the Type header without its terminating zero
    Bytes target;
    bool hasBody = false;             // a Body or End-of-Body header came
    Bytes body;
    bool hasLength = false;
    uint32_t length = 0;
    std::vector<Bytes> appParams;     // the value of every Application-Parameters header
    std::vector<Bytes> packets;       // raw packets received, in order
    std::vector<Bytes> responses;     // raw responses sent, in order
    uint16_t clientMax = 0;           // CONNECT only: the client's maximum packet length
};

class ObexPeer {
public:
    explicit ObexPeer(PeerConfig config = {});
    ~ObexPeer();
    ObexPeer(const ObexPeer &) = delete;
    ObexPeer &operator=(const ObexPeer &) = delete;

    // Starts listening and serving: 0, or -errno.
    int start();
    // Stops serving, closes the link and removes the peer from the folder.
    void stop();

    // The store. addCard puts a card into the first free slot (luid empty: a new id) and answers
    // the id; putCard fills a given slot.
    std::string addCard(const std::string &card, const std::string &luid = {});
    void putCard(int slot, const std::string &card, const std::string &luid);
    std::vector<std::optional<Record>> slots() const;
    int used() const;
    int changeCounter() const;
    void setChangeCounter(int cc);
    // Changes the configuration of a running peer (store size, info.log, chunking).
    void configure(const PeerConfig &config);
    PeerConfig config() const;

    // Faults, one-shot each.
    void failNext(uint8_t code);        // the next final PUT or GET is answered with code
    void scriptNext(const Bytes &raw);  // the next response (to any request) is these bytes
    void dropNext();                    // the link is dropped when the next packet arrives

    std::vector<Request> requests() const;
    void clearRequests();
    std::map<std::string, Bytes> inbox() const;
    int connections() const;            // links accepted so far

    // The ids of a packet's headers in order (CONNECT and SETPATH fixed fields skipped); stops at
    // the first malformed header.
    static std::vector<int> headerIds(const Bytes &packet);
    // Every Application-Parameters tag with its value, in order.
    static std::vector<std::pair<int, Bytes>> appTags(const Bytes &value);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace obexpeer

#endif
