// What a JPEG file's own header tells before any decoder reads the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

struct JpegFrame {
    int width = 0, height = 0;
    bool huffman = true;  // Huffman-coded (every common JPEG), not arithmetic-coded
};

// Reads up to `size` bytes at `offset` into `data`; the count read.
using ByteReader = std::function<std::size_t(std::uint64_t offset, std::uint8_t* data, std::size_t size)>;

// The frame header (SOFn) of a file that starts as a JPEG does; nothing for any other file, or
// for a JPEG whose markers end, break off or reach a scan before its frame header.
std::optional<JpegFrame> ReadJpegFrame(const ByteReader& read);

// Whether a file of `fileSize` bytes can hold the frame: Huffman-coded data spends at least one
// bit on every 8 x 8 block of the component with the most samples, which has the full size.
bool JpegFitsFile(const JpegFrame& frame, std::uint64_t fileSize);
