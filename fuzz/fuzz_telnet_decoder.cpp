// What a serial device server sends, through the RFC 2217 client: the first
// input byte picks where the rest is split in two reads, which must not
// change the outcome; the line's data must come back unchanged through
// telnet's framing, and the answers must be well-formed commands of bounded
// size, so no input makes the client talk without end.
#include "FuzzCheck.h"
#include "serial/Rfc2217Client.h"

#include <cstddef>
#include <cstdint>

namespace {
// Answers to one command are at most a refusal or an agreement (3 bytes);
// agreeing to the COM-PORT-OPTION adds the line settings once.
constexpr qsizetype kSettingsRequests = 64;

Rfc2217Client::Received receive(const QByteArray& wire, qsizetype split, Rfc2217Client& client) {
    client.greeting();
    Rfc2217Client::Received first = client.receive(wire.left(split));
    const Rfc2217Client::Received second = client.receive(wire.mid(split));
    first.data += second.data;
    first.reply += second.reply;
    return first;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray wire(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const LineSettings settings{9600, 'n', 8, 1};
    Rfc2217Client whole(settings);
    Rfc2217Client split(settings);
    const Rfc2217Client::Received once = receive(wire, wire.size(), whole);
    const Rfc2217Client::Received twice = receive(wire, data[0] % (wire.size() + 1), split);
    FUZZ_CHECK(once.data == twice.data && once.reply == twice.reply);
    FUZZ_CHECK(whole.stage() == split.stage() && whole.refusal() == split.refusal());
    FUZZ_CHECK((whole.stage() == Rfc2217Client::Stage::Refused) == !whole.refusal().isEmpty());
    FUZZ_CHECK(once.data.size() <= wire.size());
    FUZZ_CHECK(once.reply.size() <= wire.size() + kSettingsRequests);

    // The answers are commands only, and the data passes the framing unchanged.
    Telnet::Decoder answers;
    for (const Telnet::Item& item : answers.feed(once.reply))
        FUZZ_CHECK(item.kind != Telnet::Item::Kind::Data);
    Telnet::Decoder framing;
    QByteArray passed;
    for (const Telnet::Item& item : framing.feed(Telnet::escape(once.data)))
        if (item.kind == Telnet::Item::Kind::Data)
            passed += item.bytes;
    FUZZ_CHECK(passed == once.data);
    return 0;
}
