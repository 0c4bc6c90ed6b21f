#include "encoding/text.h"

#include "app/runtime_error.h"

#include <cstring>
#include <utility>

namespace cc {

ByteBuffer::ByteBuffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

int32_t ByteBuffer::Length() const { return static_cast<int32_t>(bytes_.size()); }

uint8_t ByteBuffer::At(int32_t index) const {
    if (index < 1) RaiseRuntimeError(kIndexBelowOne);
    if (index > Length()) RaiseRuntimeError(kIndexAboveRange);
    return bytes_[static_cast<size_t>(index) - 1];
}

ByteBuffer ByteBufferOf(std::string_view bytes) {
    return ByteBuffer(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string_view TextBytes(const Text& text) { return std::string_view(text.c_str(), std::strlen(text.c_str())); }

}  // namespace cc
