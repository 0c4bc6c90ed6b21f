// The value types of the encoding routines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cc {

// An owned, zero-terminated byte string with no zero byte inside; an empty text
// and a missing one are the same.
using Text = std::string;

// An owned sequence of bytes with a 32-bit signed length, addressed by index
// from 1 to the length. Every indexed access is tested against that range
// first: an index below 1 raises run-time error 4, one above the length
// run-time error 1.
class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(std::vector<uint8_t> bytes);

    int32_t Length() const;
    uint8_t At(int32_t index) const;

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The byte at a 1-based index of a sequence of bytes, tested against the
// range first exactly as ByteBuffer::At does: an index below 1 raises
// run-time error 4, one above the length run-time error 1.
uint8_t CheckedByteAt(std::string_view bytes, int32_t index);

// A buffer holding a copy of the given bytes.
ByteBuffer ByteBufferOf(std::string_view bytes);

// The bytes that make up a text: those before its first zero
// byte, as a zero-terminated string would be read.
std::string_view TextBytes(const Text& text);

}  // namespace cc
