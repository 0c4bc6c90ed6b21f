#include "encoding/text.h"

#include "app/runtime_error.h"

#include <cstring>
#include <utility>

namespace cc {

ByteBuffer::ByteBuffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

int32_t ByteBuffer::Length() const { return static_cast<int32_t>(bytes_.size()); }

uint8_t ByteBuffer::At(int32_t index) const {
    return CheckedByteAt(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()), index);
}

uint8_t CheckedByteAt(std::string_view bytes, int32_t index) {
    if (index < 1) RaiseRuntimeError(kIndexBelowOne);
    if (index > static_cast<int32_t>(bytes.size())) RaiseRuntimeError(kIndexAboveRange);
    return static_cast<uint8_t>(bytes[static_cast<size_t>(index) - 1]);
}

ByteBuffer ByteBufferOf(std::string_view bytes) {
    return ByteBuffer(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string_view TextBytes(const Text& text) { return std::string_view(text.c_str(), std::strlen(text.c_str())); }

}  // namespace cc
