#include "platform/jpeg_header.h"

std::optional<JpegFrame> ReadJpegFrame(const ByteReader& read) {
    std::uint8_t b[8];
    if (read(0, b, 2) != 2 || b[0] != 0xFF || b[1] != 0xD8) return std::nullopt;
    std::uint64_t at = 2;
    // Each segment is a marker and, but for a few, a 16-bit length that counts itself.
    for (int segments = 0; segments < 4096; ++segments) {
        if (read(at, b, 4) != 4 || b[0] != 0xFF) return std::nullopt;
        const std::uint8_t marker = b[1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
            at += 2;
            continue;
        }
        const unsigned length = static_cast<unsigned>(b[2] << 8 | b[3]);
        if (length < 2 || marker == 0xDA || marker == 0xD9) return std::nullopt;  // a scan or the end comes first
        // SOF0 to SOF15, but for DHT (C4), JPG (C8) and DAC (CC); below C8 Huffman-coded.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 8 || read(at + 4, b, 5) != 5) return std::nullopt;
            return JpegFrame{b[3] << 8 | b[4], b[1] << 8 | b[2], marker < 0xC8};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

bool JpegFitsFile(const JpegFrame& frame, std::uint64_t fileSize) {
    if (!frame.huffman) return true;  // no such bound for arithmetic coding
    const std::uint64_t blocks = (static_cast<std::uint64_t>(frame.width) + 7) / 8 * ((static_cast<std::uint64_t>(frame.height) + 7) / 8);
    return fileSize >= blocks / 8;
}
