// ObxClt: the OBEX client. Requests are built header by header into a packet of the negotiated
// size; a packet that fills up is sent without the final bit and must be answered with Continue.
// Every packet sent is followed by reading its response packet, so client and server never get
// out of step — except after a failure, which is why every failure mid-request drops to idle.

#include "obex/obex_int.h"

#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"

#include <cstring>
#include <new>

struct ObxClt {
    CnsSock *sock;         // not owned
    int32_t state;         // OBX_STATE_*
    int32_t rxSize;        // announced at connect; the response buffer's size
    int32_t pktSize;       // packets sent: OBX_MIN_PACKET until connected
    int32_t txLimit;
    bool haveConnId;       // the server gave a Connection-Id at connect
    uint8_t connId[4];     // as on the wire
    SkBuff *req;           // the request packet being built
    uint8_t opcode;        // of the request, without the final bit
    int32_t lastHdr;       // offset of the packet's last header in req, -1 for none
    bool bodyStarted;
    bool eobSent;
    int32_t pktsSent;      // packets of the current request sent so far
    SkBuff *rsp;           // the response packet being read
    size_t rspOff;         // next header in rsp
    int32_t rspCode;       // without the final bit
};

namespace {

constexpr int32_t kDefaultRx = OBX_MIN_PACKET;
constexpr int32_t kDefaultTxLimit = 240;
constexpr int32_t kMinTxLimit = 64;
constexpr uint8_t kVersion = 0x12;
constexpr int32_t kPrefix = 3;        // opcode or response code, 16-bit length
constexpr int32_t kConnectData = 4;   // version, flags, maximum packet length

void freeSkb(SkBuff *&skb) {
    CFI_dev_kfree_skb(skb);
    skb = nullptr;
}

void dropPackets(ObxClt *c) {
    freeSkb(c->req);
    freeSkb(c->rsp);
    c->lastHdr = -1;
    c->bodyStarted = false;
    c->eobSent = false;
    c->pktsSent = 0;
    c->rspOff = 0;
}

// A failure that leaves the exchange in an unknown place: nothing more can be read in step.
int32_t fail(ObxClt *c, int32_t r) {
    dropPackets(c);
    c->state = OBX_STATE_IDLE;
    return r;
}

// The request is over (the server answered it, completely or with a refusal).
void endRequest(ObxClt *c) {
    dropPackets(c);
    c->state = OBX_STATE_CONNECTED;
}

uint16_t be16(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void putBe16(uint8_t *p, int32_t v) {
    p[0] = static_cast<uint8_t>((v >> 8) & 0xFF);
    p[1] = static_cast<uint8_t>(v & 0xFF);
}

int32_t room(const ObxClt *c) { return c->pktSize - static_cast<int32_t>(c->req->len); }

// A fresh request packet holding only its prefix.
int32_t newRequestPacket(ObxClt *c) {
    freeSkb(c->req);
    c->req = CFI_dev_alloc_skb(c->pktSize);
    if (!c->req)
        return DV_E_NOMEM;
    uint8_t *p = skb_put(c->req, kPrefix);
    p[0] = c->opcode;
    p[1] = p[2] = 0;
    c->lastHdr = -1;
    return 0;
}

int32_t sendAll(ObxClt *c, const uint8_t *p, int32_t len) {
    int32_t r = c->sock->send(c->sock, p, len, 0, 0);
    if (r == len)
        return 0;
    // A part-sent packet leaves the server waiting for the rest: the link is out of step.
    return r < 0 ? r : DV_E_IO;
}

int32_t recvExact(ObxClt *c, uint8_t *p, int32_t n) {
    for (int32_t got = 0; got < n;) {
        int32_t r = c->sock->recv(c->sock, p + got, n - got);
        if (r == 0)
            return DV_E_CLOSED;
        if (r < 0)
            return r;
        if (r > n - got)
            return DV_E_IO; // a transport must never hand back more than asked
        got += r;
    }
    return 0;
}

// Reads one response packet into c->rsp: its code (without the final bit) in c->rspCode and the
// header walk set to start after the prefix. Leaves the state alone.
int32_t recvResponse(ObxClt *c) {
    freeSkb(c->rsp);
    c->rsp = CFI_dev_alloc_skb(c->rxSize);
    if (!c->rsp)
        return DV_E_NOMEM;
    uint8_t *p = skb_put(c->rsp, kPrefix);
    int32_t r = recvExact(c, p, kPrefix);
    if (r < 0)
        return r;
    int32_t len = be16(p + 1);
    if (len < kPrefix) {
        Stdout_printf("obex: response length %d under its prefix\n", len);
        return DV_E_MALFORMED;
    }
    // The server may send up to the receive size we announced, never more.
    if (len > c->rxSize) {
        Stdout_printf("len=%d, tailroom=%d\n", len, c->rxSize);
        Stdout_dump(p, kPrefix);
        return DV_E_MALFORMED;
    }
    if (len > kPrefix) {
        uint8_t *rest = skb_put(c->rsp, len - kPrefix);
        if (!rest)
            return DV_E_MALFORMED;
        r = recvExact(c, rest, len - kPrefix);
        if (r < 0)
            return r;
    }
    c->rspCode = p[0] & 0x7F;
    c->rspOff = kPrefix;
    return 0;
}

// Sends the request packet (final or not), starts the next one with the same opcode and reads the
// response. A packet sent without the final bit must be answered with Continue; a final one with
// Continue or Success. Any other code ends the request (-9); a failure drops to idle.
int32_t sendPacket(ObxClt *c, bool final) {
    uint8_t *p = c->req->data;
    int32_t len = static_cast<int32_t>(c->req->len);
    p[0] = static_cast<uint8_t>(final ? (c->opcode | OBX_FINAL) : c->opcode);
    putBe16(p + 1, len);
    int32_t r = sendAll(c, p, len);
    if (r < 0)
        return fail(c, r);
    ++c->pktsSent;
    r = newRequestPacket(c);
    if (r < 0)
        return fail(c, r);
    r = recvResponse(c);
    if (r < 0)
        return fail(c, r);
    if (c->rspCode == OBX_RSP_CONTINUE || (final && c->rspCode == OBX_RSP_SUCCESS))
        return 0;
    Stdout_printf("obex: request 0x%02x answered 0x%02x\n", c->opcode, c->rspCode);
    endRequest(c);
    return DV_E_IO;
}

// Sends a packet built outside the request machinery (CONNECT, DISCONNECT, SETPATH) and reads its
// response: 0 for Continue or Success, -9 for another code, or a link error.
int32_t transact(ObxClt *c, SkBuff *pkt) {
    putBe16(pkt->data + 1, static_cast<int32_t>(pkt->len));
    int32_t r = sendAll(c, pkt->data, static_cast<int32_t>(pkt->len));
    if (r < 0)
        return r;
    r = recvResponse(c);
    if (r < 0)
        return r;
    return c->rspCode == OBX_RSP_CONTINUE || c->rspCode == OBX_RSP_SUCCESS ? 0 : DV_E_IO;
}

// A packet of an always-final opcode: prefix, fixed request data, the Connection-Id when wanted,
// then the caller's header bytes. -81 when it does not fit size bytes.
int32_t buildSimple(SkBuff **out, int32_t size, uint8_t opcode, const uint8_t *data, int32_t dataLen,
                    const ObxClt *c, bool withConnId, const SkBuff *headers) {
    int64_t need = int64_t{kPrefix} + dataLen + (withConnId ? 5 : 0) + (headers ? int64_t{headers->len} : 0);
    if (need > size)
        return DV_E_ARG;
    SkBuff *pkt = CFI_dev_alloc_skb(size);
    if (!pkt)
        return DV_E_NOMEM;
    uint8_t *p = skb_put(pkt, kPrefix);
    p[0] = opcode;
    p[1] = p[2] = 0;
    if (dataLen > 0)
        std::memcpy(skb_put(pkt, dataLen), data, static_cast<size_t>(dataLen));
    if (withConnId)
        ObxHdr_put(pkt, OBX_HDR_CONNECTION_ID, c->connId, 4);
    if (headers && headers->len > 0)
        std::memcpy(skb_put(pkt, static_cast<int32_t>(headers->len)), headers->data, headers->len);
    *out = pkt;
    return 0;
}

// Adds body data: into the packet's last Body header while it has room, then in new Body headers
// that fill each packet, sending full packets as it goes. The piece that ends the data takes id.
int32_t addBody(ObxClt *c, int32_t id, const uint8_t *data, int32_t n) {
    if (c->eobSent)
        return DV_E_STATE;
    if (n > 0) {
        Stdout_printf("TX Body:\n");
        Stdout_dump(data, n);
    }
    c->bodyStarted = true;
    if (n == 0 && id == OBX_HDR_BODY)
        return 0;
    int32_t left = n;
    if (c->lastHdr >= 0 && c->req->data[c->lastHdr] == OBX_HDR_BODY) {
        uint8_t *h = c->req->data + c->lastHdr;
        int32_t take = room(c) < left ? room(c) : left;
        int32_t hdrLen = be16(h + 1);
        if (take > 0 && hdrLen + take <= OBX_MAX_PACKET) {
            std::memcpy(skb_put(c->req, take), data, static_cast<size_t>(take));
            putBe16(h + 1, hdrLen + take);
            data += take;
            left -= take;
        }
        if (left == 0) {
            if (id == OBX_HDR_END_OF_BODY) {
                h[0] = OBX_HDR_END_OF_BODY;
                c->eobSent = true;
            }
            return 0;
        }
    }
    for (;;) {
        int32_t space = room(c) - 3;
        // A header must carry at least one byte, except the empty End-of-Body that closes a body.
        if (left > 0 ? space < 1 : space < 0) {
            // It does not fit: send this packet and go on in the next.
            if (static_cast<int32_t>(c->req->len) <= kPrefix)
                return DV_E_ARG; // an empty packet that holds nothing: never progresses
            int32_t r = sendPacket(c, false);
            if (r < 0)
                return r;
            continue;
        }
        int32_t take = space < left ? space : left;
        int32_t hdrId = take == left ? id : OBX_HDR_BODY;
        c->lastHdr = static_cast<int32_t>(c->req->len);
        ObxHdr_put(c->req, hdrId, data, take);
        data += take;
        left -= take;
        if (hdrId == OBX_HDR_END_OF_BODY)
            c->eobSent = true;
        if (left == 0)
            return 0;
    }
}

int32_t checkRequest(const ObxClt *c) {
    if (c->state == OBX_STATE_IDLE)
        return DV_E_NOTCONN;
    return c->state == OBX_STATE_REQUEST ? 0 : DV_E_STATE;
}

int32_t txReqHdr(ObxClt *c, int32_t id, const void *value, int32_t length) {
    int32_t r = checkRequest(c);
    if (r < 0)
        return r;
    if (length < 0 || (length > 0 && !value) || id < 0 || id > 0xFF)
        return DV_E_ARG;
    if (id == OBX_HDR_BODY || id == OBX_HDR_END_OF_BODY)
        return addBody(c, id, static_cast<const uint8_t *>(value), length);
    int32_t size = ObxHdr_wireSize(id, length);
    if (size < 0 || size > c->pktSize - kPrefix)
        return DV_E_ARG; // larger than any packet: it can never be sent
    if (size > room(c)) {
        r = sendPacket(c, false);
        if (r < 0)
            return r;
    }
    c->lastHdr = static_cast<int32_t>(c->req->len);
    return ObxHdr_put(c->req, id, value, length) < 0 ? DV_E_ARG : 0;
}

int32_t rxRspHdr(ObxClt *c, int32_t *id, const uint8_t **value, int32_t *length) {
    if (c->state == OBX_STATE_IDLE)
        return DV_E_NOTCONN;
    if (c->state != OBX_STATE_RESPONSE)
        return DV_E_STATE;
    for (;;) {
        ObxHdr h;
        int32_t r = ObxHdr_next(c->rsp->data, c->rsp->len, &c->rspOff, &h);
        if (r < 0) {
            Stdout_printf("obex: malformed header at %d of a %u-byte response\n", static_cast<int32_t>(c->rspOff),
                          c->rsp->len);
            return fail(c, r);
        }
        if (r == 1) {
            if ((h.id == OBX_HDR_BODY || h.id == OBX_HDR_END_OF_BODY) && h.length > 0) {
                Stdout_printf("RX Body:\n");
                Stdout_dump(h.value, h.length);
            }
            if (id)
                *id = h.id;
            if (value)
                *value = h.value;
            if (length)
                *length = h.length;
            return 1;
        }
        if (c->rspCode == OBX_RSP_SUCCESS) {
            endRequest(c);
            return 0;
        }
        // Continue: an empty final request with the same opcode asks for the next packet.
        r = sendPacket(c, true);
        if (r < 0)
            return r;
    }
}

} // namespace

extern "C" int32_t ObxClt_state(const ObxClt *clt) { return clt ? clt->state : OBX_STATE_IDLE; }
extern "C" int32_t ObxClt_packetSize(const ObxClt *clt) { return clt ? clt->pktSize : 0; }
extern "C" int32_t ObxClt_rxSize(const ObxClt *clt) { return clt ? clt->rxSize : 0; }

extern "C" void ObxClt_abort(ObxClt *clt) {
    if (clt)
        fail(clt, 0);
}

extern "C" DV_API ObxClt *ObxClt_new(CnsSock *sock, int32_t rxSize, int32_t txLimit) {
    if (!sock)
        return nullptr;
    auto *c = new (std::nothrow) ObxClt{};
    if (!c)
        return nullptr;
    c->sock = sock;
    // IrOBEX: every device takes packets of 255 bytes; announcing less is not allowed.
    if (rxSize <= 0)
        rxSize = kDefaultRx;
    c->rxSize = rxSize < OBX_MIN_PACKET ? OBX_MIN_PACKET : rxSize > OBX_MAX_PACKET ? OBX_MAX_PACKET : rxSize;
    if (txLimit <= 0)
        txLimit = kDefaultTxLimit;
    c->txLimit = txLimit < kMinTxLimit ? kMinTxLimit : txLimit > OBX_MAX_PACKET ? OBX_MAX_PACKET : txLimit;
    c->pktSize = OBX_MIN_PACKET;
    c->lastHdr = -1;
    return c;
}

extern "C" DV_API void ObxClt_delete(ObxClt *clt) {
    if (!clt)
        return;
    if (clt->state != OBX_STATE_IDLE)
        ObxClt_disc(clt, nullptr);
    dropPackets(clt);
    delete clt;
}

extern "C" DV_API int32_t ObxClt_isConn(const ObxClt *clt) { return clt && clt->state != OBX_STATE_IDLE ? 1 : 0; }

extern "C" DV_API int32_t ObxClt_conn(ObxClt *clt, int32_t flags, const SkBuff *headers) {
    if (!clt)
        return DV_E_ARG;
    if (clt->state != OBX_STATE_IDLE)
        return 0;
    try {
        // OBEX data is full of NUL bytes, which IrCOMM's normal mode drops; a serial transport
        // does not know the option and answers -94, which is fine.
        int32_t raw = 1;
        clt->sock->setOpt(clt->sock, CNSSOCK_SOL, CNSIRDA_SO_RAW, &raw);

        const uint8_t data[kConnectData] = {kVersion, static_cast<uint8_t>(flags),
                                            static_cast<uint8_t>(clt->rxSize >> 8),
                                            static_cast<uint8_t>(clt->rxSize & 0xFF)};
        SkBuff *pkt = nullptr;
        int32_t r = buildSimple(&pkt, OBX_MIN_PACKET, OBX_OP_CONNECT, data, kConnectData, clt, false, headers);
        if (r < 0)
            return r;
        r = transact(clt, pkt);
        CFI_dev_kfree_skb(pkt);
        if (r < 0)
            return fail(clt, r);
        if (clt->rsp->len < static_cast<uint32_t>(kPrefix + kConnectData)) {
            Stdout_printf("obex: connect response of %u bytes\n", clt->rsp->len);
            return fail(clt, DV_E_MALFORMED);
        }
        int32_t peerMax = be16(clt->rsp->data + kPrefix + 2);
        bool haveId = false;
        uint8_t id[4] = {};
        size_t off = kPrefix + kConnectData;
        ObxHdr h;
        while ((r = ObxHdr_next(clt->rsp->data, clt->rsp->len, &off, &h)) == 1) {
            if (h.id == OBX_HDR_CONNECTION_ID) {
                std::memcpy(id, h.value, 4);
                haveId = true;
            }
        }
        if (r < 0)
            return fail(clt, r);
        // A server announcing less than the IrOBEX minimum still takes 255-byte packets; taking it
        // at its word could leave no room for any data.
        if (peerMax < OBX_MIN_PACKET)
            peerMax = OBX_MIN_PACKET;
        int32_t size = peerMax < clt->txLimit ? peerMax : clt->txLimit;
        clt->pktSize = size & 0xFFF0;
        clt->haveConnId = haveId;
        std::memcpy(clt->connId, id, 4);
        dropPackets(clt);
        clt->state = OBX_STATE_CONNECTED;
        return 0;
    } catch (...) {
        return fail(clt, DV_E_FAIL);
    }
}

extern "C" DV_API int32_t ObxClt_disc(ObxClt *clt, const SkBuff *headers) {
    if (!clt)
        return DV_E_ARG;
    if (clt->state == OBX_STATE_IDLE)
        return DV_E_NOTCONN;
    dropPackets(clt);
    SkBuff *pkt = nullptr;
    int32_t r = buildSimple(&pkt, clt->pktSize, OBX_OP_DISCONNECT, nullptr, 0, clt, clt->haveConnId, headers);
    if (r == 0) {
        r = transact(clt, pkt);
        CFI_dev_kfree_skb(pkt);
    }
    dropPackets(clt);
    clt->state = OBX_STATE_IDLE;
    clt->haveConnId = false;
    clt->pktSize = OBX_MIN_PACKET;
    return r;
}

extern "C" DV_API int32_t ObxClt_setPath(ObxClt *clt, int32_t flags, const SkBuff *headers) {
    if (!clt)
        return DV_E_ARG;
    if (clt->state == OBX_STATE_IDLE)
        return DV_E_NOTCONN;
    if (clt->state != OBX_STATE_CONNECTED)
        return DV_E_STATE;
    const uint8_t data[2] = {static_cast<uint8_t>(flags), 0};
    SkBuff *pkt = nullptr;
    int32_t r = buildSimple(&pkt, clt->pktSize, OBX_OP_SETPATH, data, 2, clt, clt->haveConnId, headers);
    if (r < 0)
        return r;
    r = transact(clt, pkt);
    CFI_dev_kfree_skb(pkt);
    if (r < 0 && r != DV_E_IO)
        return fail(clt, r);
    endRequest(clt);
    return r;
}

extern "C" DV_API int32_t ObxClt_txReqBeg(ObxClt *clt, int32_t opcode) {
    if (!clt || (opcode != OBX_OP_PUT && opcode != OBX_OP_GET))
        return DV_E_ARG;
    if (clt->state == OBX_STATE_IDLE)
        return DV_E_NOTCONN;
    if (clt->state != OBX_STATE_CONNECTED)
        return DV_E_STATE;
    dropPackets(clt);
    clt->opcode = static_cast<uint8_t>(opcode);
    int32_t r = newRequestPacket(clt);
    if (r < 0)
        return r;
    // IrOBEX: the Connection-Id is the first header of the request's first packet.
    if (clt->haveConnId)
        ObxHdr_put(clt->req, OBX_HDR_CONNECTION_ID, clt->connId, 4);
    clt->state = OBX_STATE_REQUEST;
    return 0;
}

extern "C" DV_API int32_t ObxClt_txReqHdr(ObxClt *clt, int32_t id, const void *value, int32_t length) {
    if (!clt)
        return DV_E_ARG;
    try {
        return txReqHdr(clt, id, value, length);
    } catch (...) {
        return fail(clt, DV_E_FAIL);
    }
}

extern "C" DV_API int32_t ObxClt_txReqEnd(ObxClt *clt) {
    if (!clt)
        return DV_E_ARG;
    int32_t r = checkRequest(clt);
    if (r < 0)
        return r;
    if (clt->bodyStarted && !clt->eobSent) {
        r = addBody(clt, OBX_HDR_END_OF_BODY, nullptr, 0);
        if (r < 0)
            return r;
    }
    r = sendPacket(clt, true);
    if (r < 0)
        return r;
    clt->state = OBX_STATE_RESPONSE;
    return 0;
}

extern "C" DV_API int32_t ObxClt_rxRspHdr(ObxClt *clt, int32_t *id, const uint8_t **value, int32_t *length) {
    if (!clt)
        return DV_E_ARG;
    try {
        return rxRspHdr(clt, id, value, length);
    } catch (...) {
        return fail(clt, DV_E_FAIL);
    }
}

extern "C" DV_API int32_t ObxClt_rxRspWhole(ObxClt *clt) {
    int32_t r;
    while ((r = ObxClt_rxRspHdr(clt, nullptr, nullptr, nullptr)) == 1) {
    }
    return r;
}
