// The feed's WebSocket frames: arbitrary bytes, handed over in pieces of varying
// size, never make the decoder hold more than one message's bound, never give a
// message over the bound, and give the same events however the bytes are cut.
#include "EqBridgeWebSocket.h"
#include "FuzzCheck.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr qint64 MaxMessage = 4096;
// A frame header is at most 14 bytes; the decoder keeps at most one frame and one message.
constexpr qint64 MaxBuffered = 2 * MaxMessage + 14;

struct TSeen
{
    std::vector<int> Kinds;
    std::vector<QByteArray> Data;
};

TSeen Decode(const QByteArray& ABytes, std::size_t AStep)
{
    TEqBridgeWsDecoder decoder(MaxMessage);
    TSeen seen;
    auto onEvent = [&seen](const TEqBridgeWsDecoder::TEvent& AEvent) {
        seen.Kinds.push_back(AEvent.Kind);
        seen.Data.push_back(AEvent.Data);
        if (AEvent.Kind == TEqBridgeWsDecoder::wdText || AEvent.Kind == TEqBridgeWsDecoder::wdBinary) {
            Check(AEvent.Data.size() <= MaxMessage, "no message over the bound");
        }
        if (AEvent.Kind == TEqBridgeWsDecoder::wdText) {
            Check(AEvent.Text.toUtf8() == AEvent.Data, "a text is its bytes, valid UTF-8");
        }
    };
    for (qsizetype at = 0; at < ABytes.size(); at += qsizetype(AStep)) {
        decoder.Take(ABytes.mid(at, qsizetype(AStep)), onEvent);
        Check(decoder.Buffered() <= MaxBuffered + qsizetype(AStep), "the buffer stays bounded");
    }
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize)
{
    const QByteArray bytes(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    const TSeen whole = Decode(bytes, ASize ? ASize : 1);
    const TSeen bytewise = Decode(bytes, 1);
    const TSeen odd = Decode(bytes, 7);
    Check(whole.Kinds == bytewise.Kinds && whole.Data == bytewise.Data, "cut into bytes: the same events");
    Check(whole.Kinds == odd.Kinds && whole.Data == odd.Data, "cut into sevens: the same events");
    return 0;
}
